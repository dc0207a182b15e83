#include "app/Navigation.h"

#include <fstream>

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
  AppendHistory(StartPage);
  FHistoryIndex = int(FPageHistory.size()) - 1;
  SelectCurrentRow();
}

void TPageNavigator::PageViewerHotSpotClick(TPane sender, const std::string& url, bool& handled) {
  FollowLink(sender == TPane::pnNavigation ? FNavigationMember : FContentMember, url, handled);
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
  const bool anchorOnly = hash == 0;
  const std::string page = hash != std::string::npos && hash > 0 ? url.substr(0, hash) : url;
  // The first anchor asked for wins until the next idle moment takes it.
  if (hash != std::string::npos && hash > 0 && FPendingAnchor.empty()) FPendingAnchor = url.substr(hash);
  const std::string member = ResolveLink(referrer, page);
  if (!anchorOnly) {
    // Recorded before the page is asked for, so a missing page is in the history too.
    if (FPageHistory.empty() || FPageHistory.back() != member) {
      AppendHistory(member);
      if (FView.SetCaption) FView.SetCaption(FIndexTitle + " - " + member);
    }
    FHistoryIndex = int(FPageHistory.size()) - 1;
    SelectCurrentRow();
  }
  handled = !anchorOnly;
  // A member named like an anchor is normally absent; that is no news for the status bar.
  ShowPage(member, anchorOnly);
}

void TPageNavigator::BackForwardButtonClick(bool back) {
  std::string page;
  bool chosen = false;
  const int count = int(FPageHistory.size());
  if (back && FHistoryIndex - 1 >= 0 && FHistoryIndex - 1 < count) {
    page = FPageHistory[std::size_t(FHistoryIndex - 1)];
    --FHistoryIndex;
    chosen = true;
  } else if (!back && FHistoryIndex + 1 < count) {
    page = FPageHistory[std::size_t(FHistoryIndex + 1)];
    ++FHistoryIndex;
    chosen = true;
  }
  if (chosen) ShowPage(page);
  SelectCurrentRow();
}

void TPageNavigator::HistoryListBoxDblClick(int row) {
  if (row < 0 || row >= int(FPageHistory.size())) return;
  FHistoryIndex = row;
  ShowPage(FPageHistory[std::size_t(row)]);
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
  state.ForwardEnabled = FHistoryIndex < int(FPageHistory.size()) - 1;
  if (!FPendingAnchor.empty()) {
    // Cleared before the jump, so an anchor asked for while it runs is not lost.
    const std::string anchor = std::move(FPendingAnchor);
    FPendingAnchor.clear();
    if (FView.GoToAnchor) FView.GoToAnchor(anchor);
  }
  return state;
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

void TPageNavigator::ShowPage(std::string member, bool quiet) {
  if (member.empty()) return;
  // Looked up first: a missing page is ours to report, and needs no extraction.
  if (FZip.FindMember(member) < 0) {
    if (!quiet) Status("Page not found in the archive: " + member);
    return;
  }
  std::optional<std::string> bytes = Extract(member);
  if (!bytes) {
    // The archive has reported its own failure, or was busy with another page.
    if (!quiet) Status("Page could not be read from the archive: " + member);
    return;
  }
  FContentMember = member;
  if (FView.ClearDocument) FView.ClearDocument();
  if (FView.LoadContent) FView.LoadContent(*bytes, std::string());
  if (FStatusShown) Status(std::string());
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

void TPageNavigator::AppendHistory(const std::string& entry) {
  FPageHistory.push_back(entry);
  if (FView.HistoryAppend) FView.HistoryAppend(entry);
}

void TPageNavigator::SelectCurrentRow() {
  if (FView.HistorySelect) FView.HistorySelect(FPageHistory.empty() ? -1 : FHistoryIndex);
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
