#include "error.h"

#include <locale.h>

#include <atomic>
#include <cerrno>
#include <clocale>
#include <cstring>

namespace {

// The common errors in the words the Windows build shows for them in a
// Chinese locale, so that both windows tell a user the same; the system's
// own texts (English without its translations installed) for the rest.
const char* ChineseDescription(long number) {
    switch (number) {
        case ENOENT:
        case ENOTDIR:
            return "找不到路径。";
        case EACCES:
        case EPERM:
            return "访问被拒绝。";
        case ENOSPC:
        case EDQUOT:
            return "磁盘满。";
        case EBUSY:
            return "共享冲突。";
        case EMFILE:
        case ENFILE:
            return "太多打开的文件。";
        case EROFS:
            return "存在写保护。";
        case ENOMEM:
            return "内存不足。";
        case EAGAIN:
            return "资源暂时不可用。";
        case EIO:
            return "由于 I/O 设备错误，无法运行此项请求。";
        case EINVAL:
            return "参数错误。";
        case ENAMETOOLONG:
            return "文件名或扩展名太长。";
        case ELOOP:
            return "无法解析文件名。";
        case EISDIR:
            return "目录名称无效。";
        case EEXIST:
            return "文件存在。";
        case EFBIG:
            return "文件太大，无法执行该操作。";
        case ECANCELED:
            return "操作已被用户取消。";
        default:
            return nullptr;
    }
}

enum class Language { kUsers, kEnglish, kChinese };
std::atomic<Language> preferred{Language::kUsers};

// A program that has taken the user's locale describes in the user's
// language; one that has not keeps the C library's English.
bool InChinese() {
    if (preferred != Language::kUsers) {
        return preferred == Language::kChinese;
    }
    const char* messages = std::setlocale(LC_MESSAGES, nullptr);
    return messages != nullptr && std::strncmp(messages, "zh", 2) == 0;
}

// English whatever locale the program has taken.
std::string EnglishDescription(long number) {
    static const locale_t c = ::newlocale(LC_ALL_MASK, "C", locale_t(0));
    return c != locale_t(0) ? ::strerror_l(static_cast<int>(number), c) : "Unknown error";
}

}  // namespace

Error ErrorFromNumber(long number) {
    if (InChinese()) {
        if (const char* description = ChineseDescription(number)) {
            return Error(number, description);
        }
    }
    // Errors arise on the read-ahead's threads too: strerror_r (GNU's, which
    // returns the text) rather than strerror, which may share one buffer.
    // It follows LC_MESSAGES, so the description is in the user's language
    // once the program has called setlocale.
    if (preferred == Language::kEnglish) {
        return Error(number, EnglishDescription(number));
    }
    char buffer[256];
    return Error(number, ::strerror_r(static_cast<int>(number), buffer, sizeof buffer));
}

void PreferEnglishDescriptions() {
    preferred = Language::kEnglish;
}

void PreferChineseDescriptions() {
    preferred = Language::kChinese;
}

Error LastError() {
    return ErrorFromNumber(errno);
}

Error InvalidArgumentError() {
    return ErrorFromNumber(EINVAL);
}

Error MissingFolderError() {
    return ErrorFromNumber(ENOENT);
}

Error OutOfMemoryError() {
    return ErrorFromNumber(ENOMEM);
}

Error NoThreadError() {
    return ErrorFromNumber(EAGAIN);
}

Error CancelledError() {
    return ErrorFromNumber(ECANCELED);
}

Error BusyError() {
    return ErrorFromNumber(EBUSY);
}

Error UnlistablePathError() {
    return Error(EINVAL,
                 "A list cannot carry this path: it holds a double quote, CR, LF or a name "
                 "the image builder reads as another");
}
