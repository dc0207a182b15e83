// The main window's page navigation: start pages, link clicks, the page history with Back and
// Forward, the anchor jump deferred to the next idle moment, and the pictures and style sheets
// that pages name. It knows no widgets: the window hands it a set of hooks.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace korva {

class TZipArchive;

// Which pane raised a link click. Links are resolved against the page that pane shows.
enum class TPane { pnNavigation, pnContent };

// What the navigator asks of the window. Every hook may be left empty.
struct TNavigatorView {
  // The content pane.
  std::function<void()> ClearDocument;
  std::function<void(const std::string& bytes, const std::string& base)> LoadContent;
  std::function<bool(const std::string& anchor)> GoToAnchor;
  // The navigation pane.
  std::function<void(const std::string& bytes, const std::string& base)> LoadNavigation;
  // The history list box: a row added at the end; `count` rows removed from row `first` on; a
  // row selected (-1 for none).
  std::function<void(const std::string& entry)> HistoryAppend;
  std::function<void(int first, int count)> HistoryRemove;
  std::function<void(int row)> HistorySelect;
  // The content pane's scroll position (a document y), and the title of the page it shows.
  std::function<int()> ContentScrollPos;
  std::function<void(int y)> SetContentScrollPos;
  std::function<std::string()> ContentTitle;
  // The window caption, as the bytes of the index title and the page name.
  std::function<void(const std::string& caption)> SetCaption;
  // A line for the status bar; empty clears it.
  std::function<void(const std::string& text)> ShowStatus;
  // Hands a link to the desktop (browser, mail program); false when nothing took it.
  std::function<bool(const std::string& url)> OpenExternal;
};

// Reads what a page names: (referring member, reference as written) to bytes, or nothing.
using TReferenceReader = std::function<std::optional<std::string>(const std::string& referrer,
                                                                   const std::string& reference)>;
// The same for one pane: the referring page is the one the pane shows at the time of the call.
using TPaneReader = std::function<std::optional<std::string>(const std::string& reference)>;

// One visit: the page, the anchor it was opened at, and where the reader left it.
struct THistoryEntry {
  std::string Member;
  std::string Anchor;  // "#name", or empty
  int ScrollY = -1;    // -1 until the reader moves on from it
  bool operator==(const THistoryEntry& o) const { return Member == o.Member && Anchor == o.Anchor; }
};

// What the history list shows for an entry: the member with "/" between folders, and its anchor.
std::string HistoryEntryText(const THistoryEntry& entry);

class TPageNavigator {
 public:
  static constexpr const char* NavigationPage = "NavigationFrame.html";
  static constexpr const char* StartPage = "Overview.html";

  TPageNavigator(TZipArchive& zip, TNavigatorView view);

  // The archive opened by LoadStartPages when it is not active yet.
  void SetArchiveFileName(const std::string& name) { FArchiveFileName = name; }
  // The title of the index page, the first part of the caption a link click sets.
  void SetIndexTitle(const std::string& title) { FIndexTitle = title; }

  // The navigation page into the left pane and the overview into the right one, which starts
  // the history.
  void LoadStartPages();
  // A link clicked in either pane. handled comes back false for "#name" links, which the pane
  // that raised them follows by itself (in the content pane such a jump is still a history
  // entry). As in a browser, a visit from the middle of the history drops the entries after
  // it, and a page the archive does not hold leaves the history and the caption alone.
  void PageViewerHotSpotClick(TPane sender, const std::string& url, bool& handled);
  // Back and Forward return to the entry's page and to where the reader left it.
  void BackForwardButtonClick(bool back);
  // row is the history list's selected row (-1 when none); the same return as Back/Forward.
  void HistoryListBoxDblClick(int row);
  // The start page given on the command line: opened as a link in the content pane would be.
  // With an empty member only the anchor is taken, for the page on show.
  void OpenStartMember(const std::string& member, const std::string& anchor);

  struct TIdleState {
    bool BackEnabled = false;
    bool ForwardEnabled = false;
  };
  // Run when the event queue has been emptied: the buttons' states, and the pending anchor is
  // handed to the content pane.
  TIdleState AppIdle();

  // The bytes a page names: the archive member it resolves to, else a file of that name in the
  // archive's folder. Network and other non-archive references give nothing.
  std::optional<std::string> ReadReference(const std::string& referrer, const std::string& reference) const;
  TReferenceReader Reader() const;
  // For a pane's image and style sheet requests.
  TPaneReader ReaderFor(TPane pane) const;

  // The members of the history, oldest first.
  std::vector<std::string> PageHistory() const;
  const std::vector<THistoryEntry>& HistoryEntries() const { return FHistory; }
  int HistoryIndex() const { return FHistoryIndex; }
  const std::string& PendingAnchor() const { return FPendingAnchor; }
  // The member each pane shows ("" before any).
  const std::string& ContentMember() const { return FContentMember; }
  const std::string& NavigationMember() const { return FNavigationMember; }

 private:
  // The archive member a link names, as the history records it: the first candidate the
  // archive has, else the plain resolution.
  // A link named by the page referrer (a copy: the extraction may let another click in).
  void FollowLink(std::string referrer, const std::string& url, bool& handled);
  std::string ResolveLink(const std::string& referrer, const std::string& page) const;
  // Shows member in the content pane when the archive has it; otherwise the pane keeps its page. A copy: the extraction lets other clicks in,
  // which may grow the history it could come from.
  // False (and the status line says why) when it could not.
  bool ShowPage(std::string member);
  std::optional<std::string> Extract(const std::string& member);
  // Extract for a member the directory lists; otherwise the status bar says it is missing.
  std::optional<std::string> ExtractPresent(const std::string& member);
  // Records a visit after the current entry, dropping those after it (not twice in a row).
  void Visit(const THistoryEntry& entry, bool caption = true);
  // Moves to an entry of the history: its page, then its scroll position or anchor.
  void GoToEntry(int index);
  // Keeps the content pane's scroll position in the current entry.
  void RememberScroll();
  void UpdateCaption();
  void SelectCurrentRow();
  void Status(const std::string& text);
  void FollowExternal(const std::string& url);

  TZipArchive& FZip;
  TNavigatorView FView;
  std::string FArchiveFileName;
  std::string FIndexTitle;
  std::vector<THistoryEntry> FHistory;
  int FHistoryIndex = 0;
  std::string FPendingAnchor;
  int FPendingScroll = -1;  // a position to return to at the next idle moment, instead of an anchor
  std::string FContentMember;
  std::string FNavigationMember;
  bool FStatusShown = false;
};

}  // namespace korva
