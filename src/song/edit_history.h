// Undo and redo for the two things the main window edits: the pattern grid and the song (the
// play list with its selection and the song title). One history serves both, because the Edit
// menu's Undo takes back the last user action whichever it touched, and New Song touches both at
// once. It also keeps the unsaved-changes state of each: whether the grid differs from what was
// last saved to or loaded from its pattern file, and whether the song differs from its song file.
//
// Each step holds only what its action changed: the grid cells with their text before and after
// (hidden rows, name cell, length and time cells included, and the row count), and the run of
// play list entries that differed, with their check marks. So a click in a 9999-step pattern or
// an entry added to a 100,000-entry list costs a step of a few bytes, not a copy of the pattern
// or the list. At most kMaxSteps steps are kept; the oldest goes first.
//
// How the window uses it (UI thread only):
//   - Every handler that edits the grid or the play list opens an action for the whole handler
//     and lets it go at the end:
//         const auto action = history.action();
//         toggle the cell / clear / load / add / remove / move / bin / open ...
//     The action records what changed, however many cells or entries, as one step; an action that
//     changed nothing leaves no step. An exception leaving the handler still records what the
//     handler changed before it, since that stays done. Actions opened inside an open action (a
//     program change of the name box during Clear Pattern) belong to the outer one.
//   - The name box's changes open their action with kNameTyping, so typing a name is one step.
//   - Undo / Redo menu items call undo() / redo() and are greyed by canUndo() / canRedo(). After
//     either the window shows the grid again, puts the name cell into the name box and the title
//     into its box, and mirrors the play list into its list box, all without opening an action.
//   - Save Pattern and a successful pattern load call markGridSaved(); Save Song and a successful
//     Open Song call markSongSaved(). isGridModified() / isSongModified() decide the question
//     on close.
//   - Changes made outside an action are not undone and must leave the model as it was (Play
//     Song passes patterns through the grid and puts the edited one back) or be reported with
//     noteSongChangedOutside() (Save Pattern appending its name to the play list). Should the
//     grid or the list ever not hold what a step expects, undo and redo refuse that step and
//     forget the history instead of writing stale text over the user's work.
#pragma once

#include "pattern/pattern_grid.h"
#include "song/play_list.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace groovane {

// How the history reads and writes the song title, which lives in the window's title box.
struct SongTitleAccess {
    std::function<std::string()> read;
    std::function<void(const std::string&)> write;
};

class EditHistory final : private GridJournal {
public:
    static constexpr size_t kMaxSteps = 200;

    // Actions that continue the step before them when nothing else came between, so a run of
    // them is one step: the name box, changed character by character.
    enum class Merge { Never, NameTyping };
    static constexpr Merge kNameTyping = Merge::NameTyping;

    // The grid and the list must outlive the history. The current grid and song count as saved.
    EditHistory(PatternGrid& grid, PlayList& list, SongTitleAccess title = {});
    ~EditHistory() override;
    EditHistory(const EditHistory&) = delete;
    EditHistory& operator=(const EditHistory&) = delete;

    // The scope of one user action; see the header comment.
    class Action {
    public:
        ~Action();
        Action(const Action&) = delete;
        Action& operator=(const Action&) = delete;

    private:
        friend class EditHistory;
        explicit Action(EditHistory& history) : history_(history) {}
        EditHistory& history_;
    };
    [[nodiscard]] Action action(Merge merge = Merge::Never);

    bool canUndo() const { return position_ > 0; }
    bool canRedo() const { return position_ < steps_.size(); }
    // Take back or bring back one step. False when there is none, or when the grid or the list
    // no longer holds what the step expects (then the history is forgotten and nothing changes).
    bool undo();
    bool redo();
    size_t undoCount() const { return position_; }

    // The grid now matches its pattern file / the song its song file.
    void markGridSaved();
    void markSongSaved();
    bool isGridModified() const;
    bool isSongModified() const;
    // The song changed without an action (so without a step); it counts as modified until saved.
    void noteSongChangedOutside() { songChangedOutside_ = true; }

    // Drops every step; the saved states stay as they are.
    void forget();

private:
    struct CellChange {
        int column;
        int row;
        std::string before;
        std::string after;
    };
    // Entries [first, first + before.size()) were replaced by `after`.
    struct ListChange {
        int first = 0;
        std::vector<PlayListEntry> before;
        std::vector<PlayListEntry> after;
    };
    struct Step {
        // The cell changes packed into bytes (packCells): a whole pattern loaded over a 9999-step
        // pattern is some 60,000 changes, and a step of separate strings would take five times
        // the memory.
        std::string cells;
        int rowsBefore = 0;
        int rowsAfter = 0;
        bool hasListChange = false;
        ListChange list;
        int selectedBefore = -1;
        int selectedAfter = -1;
        std::string titleBefore;
        std::string titleAfter;
        Merge merge = Merge::Never;
        // The grid's and the song's state after this step: equal ids mean equal content.
        uint64_t gridState = 0;
        uint64_t songState = 0;
    };

    // GridJournal, while an action is open.
    void cellChanged(int column, int row, const std::string& before, const std::string& after) override;
    void rowCountChanged(int before, int after) override;

    static std::string packCells(const std::vector<CellChange>& changes);
    static std::vector<CellChange> unpackCells(const std::string& packed);
    // Calls visit(column, row, before, after) for each packed change, in order.
    template <typename Visit>
    static void forEachCell(const std::string& packed, Visit&& visit);

    void begin(Merge merge);
    void end() noexcept;
    void commit();
    bool canMergeInto(const Step& step) const;
    bool gridHolds(const Step& step, bool after) const;
    bool listHolds(const Step& step, bool after) const;
    void apply(const Step& step, bool after);
    uint64_t gridState() const { return position_ == 0 ? baseGridState_ : steps_[position_ - 1].gridState; }
    uint64_t songState() const { return position_ == 0 ? baseSongState_ : steps_[position_ - 1].songState; }
    std::string readTitle() const { return title_.read ? title_.read() : std::string(); }

    PatternGrid& grid_;
    PlayList& list_;
    SongTitleAccess title_;

    std::deque<Step> steps_;
    size_t position_ = 0; // steps applied
    uint64_t nextState_ = 1;
    uint64_t baseGridState_ = 0;
    uint64_t baseSongState_ = 0;
    uint64_t savedGridState_ = 0;
    uint64_t savedSongState_ = 0;
    bool songChangedOutside_ = false;
    bool isMergeOpen_ = false; // the top step may take the next action of its kind

    // The open action.
    int depth_ = 0;
    Merge openMerge_ = Merge::Never;
    bool canMergeOpen_ = false;
    Step pending_;
    std::vector<CellChange> pendingCells_;
    std::unordered_map<uint64_t, size_t> pendingIndex_; // cell -> its change in pendingCells_
    bool pendingRows_ = false;
    std::vector<PlayListEntry> listBefore_;
};

} // namespace groovane
