#include "app/Navigation.h"

#include <algorithm>
#include <fstream>
#include <utility>

#include "app/Limits.h"
#include "app/MemberLinks.h"
#include "archive/ZipArchive.h"
#include "platform/System.h"
#include "url/Url.h"

namespace korva {

namespace {

// The archive's folder with its trailing "/", "" for the working folder.
std::string FolderOf(const std::string& file) {
  const std::size_t slash = file.find_last_of('/');
  return slash == std::string::npos ? std::string() : file.substr(0, slash + 1);
}

std::optional<std::string> ReadSmallFile(const std::string& path, std::uintmax_t limit) {
  if (!FileExists(path)) return std::nullopt;
  const std::int64_t size = FileSize(path);
  if (size < 0 || std::uintmax_t(size) > limit) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string data(std::size_t(size), '\0');
  in.read(data.data(), size);
  data.resize(std::size_t(in.gcount()));
  return data;
}

}  // namespace

TPageNavigator::TPageNavigator(TZipArchive& zip, TNavigatorView view) : FZip(zip), FView(std::move(view)) {}

std::string HistoryEntryText(const THistoryEntry& entry) {
  std::string text = entry.Member;
  std::replace(text.begin(), text.end(), '\\', '/');
  return text + entry.Anchor;
}

void TPageNavigator::LoadStartPages() {
  if (!FZip.Active()) {
    if (!FArchiveFileName.empty()) FZip.SetZipFileName(FArchiveFileName);
    FZip.SetActive(true);
  }
  // Looked up before extraction: an archive that could not be opened has already said so once,
  // and need not say it again for each page.
  if (std::optional<std::string> nav = ExtractPresent(NavigationPage)) {
    // Set first: the page's pictures are asked for while it loads.
    FNavigationMember = NavigationPage;
    if (FView.LoadNavigation) FView.LoadNavigation(*nav, std::string());
  }
  std::optional<std::string> start = ExtractPresent(StartPage);
  if (!start) return;
  FContentMember = StartPage;
  if (FView.LoadContent) FView.LoadContent(*start, std::string());
  // The caption stays the archive's title until the reader moves.
  Visit({StartPage, std::string()}, false);
}

void TPageNavigator::PageViewerHotSpotClick(TPane sender, const std::string& url, bool& handled) {
  FollowLink(sender == TPane::pnNavigation ? FNavigationMember : FContentMember, url, handled);
  if (sender == TPane::pnContent && !handled && !url.empty() && url[0] == '#' && !FContentMember.empty()) {
    // The pane jumps by itself; the jump is a visit all the same.
    RememberScroll();
    Visit({FContentMember, url});
  }
}

void TPageNavigator::FollowLink(std::string referrer, const std::string& url, bool& handled) {
  switch (ClassifyLink(url)) {
    case TLinkKind::lkExternal:
      FollowExternal(url);
      handled = true;
      return;
    case TLinkKind::lkUnsupported:
      Status("Link not followed: " + url);
      handled = true;
      return;
    case TLinkKind::lkMember:
      break;
  }
  const std::size_t hash = url.find('#');
  if (hash == 0) {
    handled = false;
    return;
  }
  handled = true;
  const std::string page = hash != std::string::npos ? url.substr(0, hash) : url;
  const std::string anchor = hash != std::string::npos ? url.substr(hash) : std::string();
  if (page.empty()) return;
  const std::string member = ResolveLink(referrer, page);
  RememberScroll();
  if (!ShowPage(member)) return;
  // The first anchor asked for wins until the next idle moment takes it.
  if (!anchor.empty() && FPendingAnchor.empty()) FPendingAnchor = anchor;
  FPendingScroll = -1;
  Visit({member, anchor});
}

void TPageNavigator::BackForwardButtonClick(bool back) {
  const int target = FHistoryIndex + (back ? -1 : 1);
  if (target >= 0 && target < int(FHistory.size())) GoToEntry(target);
  SelectCurrentRow();
}

void TPageNavigator::HistoryListBoxDblClick(int row) {
  if (row < 0 || row >= int(FHistory.size())) return;
  GoToEntry(row);
}

void TPageNavigator::GoToEntry(int index) {
  RememberScroll();
  // A copy: showing the page lets other clicks in, which may change the history.
  const THistoryEntry entry = FHistory[std::size_t(index)];
  if (entry.Member != FContentMember && !ShowPage(entry.Member)) return;
  if (index >= int(FHistory.size()) || !(FHistory[std::size_t(index)] == entry)) return;
  FHistoryIndex = index;
  FPendingAnchor.clear();
  FPendingScroll = -1;
  if (entry.ScrollY >= 0)
    FPendingScroll = entry.ScrollY;
  else if (!entry.Anchor.empty())
    FPendingAnchor = entry.Anchor;
  else
    FPendingScroll = 0;
  UpdateCaption();
}

void TPageNavigator::OpenStartMember(const std::string& member, const std::string& anchor) {
  if (member.empty()) {
    if (!anchor.empty() && FPendingAnchor.empty()) FPendingAnchor = "#" + anchor;
    return;
  }
  if (ClassifyLink(member) != TLinkKind::lkMember) {
    Status("Not a page of the archive: " + member);
    return;
  }
  // Named from the archive's root, whatever page is on show.
  bool handled = false;
  FollowLink(std::string(), anchor.empty() ? member : member + "#" + anchor, handled);
}

TPageNavigator::TIdleState TPageNavigator::AppIdle() {
  TIdleState state;
  state.BackEnabled = FHistoryIndex > 0;
  state.ForwardEnabled = FHistoryIndex < int(FHistory.size()) - 1;
  if (FPendingScroll >= 0) {
    const int y = std::exchange(FPendingScroll, -1);
    if (FView.SetContentScrollPos) FView.SetContentScrollPos(y);
  } else if (!FPendingAnchor.empty()) {
    // Cleared before the jump, so an anchor asked for while it runs is not lost.
    const std::string anchor = std::move(FPendingAnchor);
    FPendingAnchor.clear();
    if (FView.GoToAnchor) FView.GoToAnchor(anchor);
  }
  return state;
}

std::vector<std::string> TPageNavigator::PageHistory() const {
  std::vector<std::string> members;
  members.reserve(FHistory.size());
  for (const THistoryEntry& e : FHistory) members.push_back(e.Member);
  return members;
}

std::optional<std::string> TPageNavigator::ReadReference(const std::string& referrer,
                                                         const std::string& reference) const {
  if (ClassifyLink(reference) != TLinkKind::lkMember) return std::nullopt;
  const std::vector<std::string> candidates = MemberCandidates(referrer, reference.substr(0, reference.find('#')));
  for (const std::string& name : candidates) {
    if (FZip.FindMember(name) < 0) continue;
    if (TZipStream* s = FZip.ExtractMemberToStream(name)) return std::string(s->Bytes());
  }
  // Beside the archive. Resolution never climbs above the root, so nothing outside its folder
  // is reached this way.
  const std::string folder = FolderOf(FZip.ZipFileName().empty() ? FArchiveFileName : FZip.ZipFileName());
  for (const std::string& name : candidates)
    if (std::optional<std::string> data = ReadSmallFile(folder + NativePath(name), MaxFileBesideArchiveSize)) return data;
  return std::nullopt;
}

TReferenceReader TPageNavigator::Reader() const {
  return [this](const std::string& referrer, const std::string& reference) {
    return ReadReference(referrer, reference);
  };
}

TPaneReader TPageNavigator::ReaderFor(TPane pane) const {
  return [this, pane](const std::string& reference) {
    return ReadReference(pane == TPane::pnNavigation ? FNavigationMember : FContentMember, reference);
  };
}

std::string TPageNavigator::ResolveLink(const std::string& referrer, const std::string& page) const {
  const std::vector<std::string> candidates = MemberCandidates(referrer, page);
  if (candidates.empty()) return page;
  for (const std::string& name : candidates)
    if (FZip.FindMember(name) >= 0) return name;
  return candidates.front();
}

bool TPageNavigator::ShowPage(std::string member) {
  if (member.empty()) return false;
  // Looked up first: a missing page is ours to report, and needs no extraction.
  if (FZip.FindMember(member) < 0) {
    Status("Page not found in the archive: " + member);
    return false;
  }
  std::optional<std::string> bytes = Extract(member);
  if (!bytes) {
    // The archive has reported its own failure, or was busy with another page.
    Status("Page could not be read from the archive: " + member);
    return false;
  }
  FContentMember = member;
  if (FView.ClearDocument) FView.ClearDocument();
  if (FView.LoadContent) FView.LoadContent(*bytes, std::string());
  if (FStatusShown) Status(std::string());
  return true;
}

std::optional<std::string> TPageNavigator::ExtractPresent(const std::string& member) {
  if (FZip.FindMember(member) < 0) {
    Status(std::string("Page not found in the archive: ") + member);
    return std::nullopt;
  }
  return Extract(member);
}

std::optional<std::string> TPageNavigator::Extract(const std::string& member) {
  // The stream is the archive's and the next extraction overwrites it: copied at once.
  TZipStream* s = FZip.ExtractMemberToStream(member);
  if (!s) return std::nullopt;
  return std::string(s->Bytes());
}

void TPageNavigator::Visit(const THistoryEntry& entry, bool caption) {
  if (!FHistory.empty() && FHistory[std::size_t(FHistoryIndex)] == entry) {
    SelectCurrentRow();
    if (caption) UpdateCaption();
    return;
  }
  const int keep = FHistory.empty() ? 0 : FHistoryIndex + 1;
  if (keep < int(FHistory.size())) {
    if (FView.HistoryRemove) FView.HistoryRemove(keep, int(FHistory.size()) - keep);
    FHistory.resize(std::size_t(keep));
  }
  if (FHistory.size() >= MaxHistoryEntries) {
    // The oldest visit makes room.
    FHistory.erase(FHistory.begin());
    if (FView.HistoryRemove) FView.HistoryRemove(0, 1);
  }
  FHistory.push_back(entry);
  FHistoryIndex = int(FHistory.size()) - 1;
  if (FView.HistoryAppend) FView.HistoryAppend(HistoryEntryText(entry));
  SelectCurrentRow();
  if (caption) UpdateCaption();
}

void TPageNavigator::RememberScroll() {
  if (FHistory.empty() || !FView.ContentScrollPos) return;
  FHistory[std::size_t(FHistoryIndex)].ScrollY = FView.ContentScrollPos();
}

void TPageNavigator::UpdateCaption() {
  if (!FView.SetCaption || FHistory.empty()) return;
  std::string title = FView.ContentTitle ? FView.ContentTitle() : std::string();
  if (title.find_first_not_of(" \t\r\n") == std::string::npos) title = HistoryEntryText({FContentMember, {}});
  FView.SetCaption(FIndexTitle + " - " + title);
}

void TPageNavigator::SelectCurrentRow() {
  if (FView.HistorySelect) FView.HistorySelect(FHistory.empty() ? -1 : FHistoryIndex);
}

void TPageNavigator::Status(const std::string& text) {
  FStatusShown = !text.empty();
  if (FView.ShowStatus) FView.ShowStatus(text);
}

void TPageNavigator::FollowExternal(const std::string& url) {
  std::string target = UrlTrim(url);
  // A network-path reference gets the scheme a browser would give it.
  if (target.rfind("//", 0) == 0) target = "http:" + target;
  if (!FView.OpenExternal || !FView.OpenExternal(target)) Status("No program could open " + target);
}

}  // namespace korva
