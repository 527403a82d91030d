#include "failing_file_system.h"

#include <utility>

#include "error.h"

long InjectedErrorNumber() {
    return 5;
}  // EIO on POSIX, access denied on Windows

namespace {

[[noreturn]] void Fail() {
    throw ErrorFromNumber(InjectedErrorNumber());
}

class FailingFolder final : public Folder {
  public:
    FailingFolder(FailingFileSystem& owner, FaultPlan& plan, std::unique_ptr<Folder> real,
                  NativeView path)
        : owner_(owner), plan_(plan), real_(std::move(real)), path_(path) {}

    FolderId Id() const override { return real_->Id(); }

    bool NextFile(NativeView* name) override {
        auto fault = plan_.failFilesAfter.find(path_);
        if (fault != plan_.failFilesAfter.end() && filesGiven_ >= fault->second) {
            Fail();
        }
        ++filesGiven_;
        return real_->NextFile(name);
    }

    std::size_t SubFolderCount() override {
        if (plan_.failSubFolderCount.count(path_) != 0) {
            Fail();
        }
        return real_->SubFolderCount();
    }

    bool NextSubFolder(NativeView* name) override {
        auto fault = plan_.failAdvanceAfter.find(path_);
        if (fault != plan_.failAdvanceAfter.end() && foldersGiven_ >= fault->second) {
            Fail();
        }
        ++foldersGiven_;
        return real_->NextSubFolder(name);
    }

    std::unique_ptr<Folder> OpenSubFolder(NativeView name, NativeView path) override {
        if (plan_.failOpen.count(NativeString(path)) != 0) {
            Fail();
        }
        if (plan_.beforeOpen) {
            plan_.beforeOpen(NativeString(path));
        }
        std::unique_ptr<Folder> opened = real_->OpenSubFolder(name, path);
        if (plan_.afterOpen) {
            plan_.afterOpen(NativeString(path));
        }
        return owner_.Wrap(std::move(opened), path);
    }

  private:
    FailingFileSystem& owner_;
    FaultPlan& plan_;
    std::unique_ptr<Folder> real_;
    NativeString path_;
    std::size_t filesGiven_ = 0;
    std::size_t foldersGiven_ = 0;
};

class FailingOutputFile final : public OutputFile {
  public:
    FailingOutputFile(FaultPlan& plan, std::unique_ptr<OutputFile> real)
        : plan_(plan), real_(std::move(real)) {}

    void Write(const char* data, std::size_t size, std::size_t* written) override {
        *written = 0;
        const std::string_view bytes(data, size);
        if (!plan_.failWriteHolding.empty() &&
            bytes.find(plan_.failWriteHolding) != std::string_view::npos) {
            plan_.failWriteHolding.clear();
            Fail();
        }
        if (plan_.diskFull) {
            const std::size_t through = std::min(size, plan_.bytesBeforeFull);
            plan_.bytesBeforeFull -= through;
            if (through != 0) {
                real_->Write(data, through, written);
            }
            Fail();
        }
        real_->Write(data, size, written);
    }

    void Close() override { real_->Close(); }

  private:
    FaultPlan& plan_;
    std::unique_ptr<OutputFile> real_;
};

}  // namespace

FailingFileSystem::FailingFileSystem(FaultPlan& plan)
    : plan_(plan), real_(MakeNativeFileSystem()) {}

NativeString FailingFileSystem::FolderPath(NativeView path) {
    return real_->FolderPath(path);
}

std::unique_ptr<Folder> FailingFileSystem::OpenFolder(NativeView path) {
    if (plan_.failOpen.count(NativeString(path)) != 0) {
        Fail();
    }
    return Wrap(real_->OpenFolder(path), path);
}

std::unique_ptr<Folder> FailingFileSystem::Wrap(std::unique_ptr<Folder> folder, NativeView path) {
    return std::make_unique<FailingFolder>(*this, plan_, std::move(folder), path);
}

bool FailingFileSystem::IsNormalFile(NativeView path) {
    return real_->IsNormalFile(path);
}

std::string FailingFileSystem::ReadStart(NativeView path, std::size_t limit) {
    return real_->ReadStart(path, limit);
}

void FailingFileSystem::CheckRemovable(NativeView path) {
    real_->CheckRemovable(path);
}

void FailingFileSystem::CopyOver(NativeView from, NativeView to) {
    if (plan_.failCopy) {
        Fail();
    }
    real_->CopyOver(from, to);
}

void FailingFileSystem::Remove(NativeView path) {
    if (plan_.failRemove) {
        Fail();
    }
    real_->Remove(path);
}

std::unique_ptr<OutputFile> FailingFileSystem::CreateForWriting(NativeView path) {
    if (plan_.failCreate) {
        Fail();
    }
    return std::make_unique<FailingOutputFile>(plan_, real_->CreateForWriting(path));
}
