#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "click_summary.h"
#include "descriptor_budget.h"
#include "folder.h"
#include "read_ahead.h"

// Whether the walk enters a subfolder; one left out is reported as a
// problem of the kind given, or not at all.
struct FolderVerdict {
    bool enter = true;
    std::optional<ProblemKind> problem;
};

// The walk of a folder tree: depth first, each folder given whole (its
// files, then its subfolders, each kind sorted) before its subfolders are
// entered; a folder that cannot be opened, or that is a link back up the
// tree, is reported and the walk goes on with the next. The walk owns every
// folder it has read and alone decides which to read ahead of itself (its
// own next folders, in its order), through a ReadAhead whose threads only
// open and list them; the list and the problems are the same with threads
// or without. No depth of tree, and no descriptor limit of the process from
// 16, changes them: a folder closed to stay within the DescriptorBudget is
// opened again by path, and is checked to be the same folder.
class FolderWalk {
  public:
    class Visitor {
      public:
        // Whether the subfolder name, at the full path path, is entered.
        // Asked when the walk decides what to read ahead and again when it
        // gets there: the answer must be the same.
        virtual FolderVerdict Judge(NativeView name, NativeView path) = 0;
        // A folder reached, at the full path path.
        virtual void Visit(const FolderListing& folder, NativeView path) = 0;
        virtual void Report(ProblemKind kind, NativeView path, const std::string& reason) = 0;

      protected:
        ~Visitor() = default;
    };

    // Opens and reads the source folder, by its full path: throws Error
    // when it cannot. Up to threads threads read ahead; 0 reads alone.
    FolderWalk(NativeView root, std::size_t threads);
    ~FolderWalk();
    FolderWalk(const FolderWalk&) = delete;
    FolderWalk& operator=(const FolderWalk&) = delete;

    // The walk, on the caller's thread. What a visitor throws, and running
    // out of memory in any thread (std::bad_alloc), ends it.
    void Run(Visitor& visitor);

  private:
    struct Node;
    // Whose subfolders the walk comes to first: a folder's read subfolders
    // before it, else the folder on an earlier branch.
    struct WalkOrder {
        bool operator()(const Node* a, const Node* b) const;
    };

    Node* NewNode(Node* up, std::size_t index);
    void Release(Node& node);
    void Enter(Node& node);
    Node& Take(Node& up, std::size_t index);
    void ReadHere(Node& node);
    void Settle(Node& node);
    void Publish(Node& node);
    void Opened(Node& up);
    void Close(Node& node);
    void Acquire();
    bool FreeOne();
    void Reopen(Node& node);
    void Collect(bool wait);
    void Finish(Node& node);
    void Submit();
    void Pace(std::chrono::steady_clock::duration opening);
    static bool LoopsBack(const Node& node);
    const NativeString& PathOf(const Node& node);

    Visitor* visitor_ = nullptr;
    DescriptorBudget budget_;
    std::size_t threads_;
    FolderReader reader_;
    std::vector<std::unique_ptr<Node>> nodes_;  // every node made, in use or spare
    std::vector<Node*> spare_;
    Node* root_ = nullptr;
    std::vector<Node*> chain_;             // the folders being walked, the root first
    std::set<Node*, WalkOrder> toSubmit_;  // folders with subfolders left to submit
    std::vector<ReadJob*> finished_;
    std::size_t ahead_ = 0;           // folders submitted and not yet taken by the walk
    std::size_t aheadBytes_ = 0;      // the memory of those read
    std::size_t allowed_ = SIZE_MAX;  // threads the read-ahead may keep at work
    NativeString path_;               // a subfolder's path, its room reused
    NativeString built_;              // PathOf's last, its room reused
    const Node* builtFor_ = nullptr;  // whose path built_ is
    std::vector<const Node*> steps_;  // PathOf's folders from the one asked up
    ReadAhead readAhead_;             // last: its threads stop before the nodes go
};
