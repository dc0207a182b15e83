// SVG pictures through Qt SVG, after a scan of our own that refuses files the library would
// spend unbounded time on (expanded `use` references, deep nesting).
#include "platform/VectorImage.h"

#include <QByteArray>
#include <QImage>
#include <QLoggingCategory>
#include <QPainter>
#include <QSvgRenderer>
#include <QXmlStreamReader>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/Limits.h"
#include "platform/QtBridge.h"

namespace korva {

namespace {

struct TRefused {
  const char* Reason;
};

// A length of the root element in CSS pixels; 0 when absent, a percentage or not understood.
double LengthPixels(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\n' || s.front() == '\r')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\n' || s.back() == '\r')) s.remove_suffix(1);
  double v = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || !std::isfinite(v) || v <= 0) return 0;
  const std::string_view unit(end, std::size_t(s.data() + s.size() - end));
  struct TUnit {
    std::string_view Name;
    double Scale;
  };
  static constexpr TUnit Units[] = {{"", 1},          {"px", 1},           {"pt", 96.0 / 72}, {"pc", 16},
                                    {"in", 96},       {"cm", 96 / 2.54},   {"mm", 96 / 25.4}, {"em", 16},
                                    {"ex", 8}};
  for (const TUnit& u : Units)
    if (unit == u.Name) return v * u.Scale;
  return 0;
}

// The width and height of a viewBox ("min-x min-y width height", blanks and/or commas); false
// when it is not four numbers with a positive size.
bool ViewBoxSize(std::string_view s, double& w, double& h) {
  double v[4];
  const char* p = s.data();
  const char* end = s.data() + s.size();
  for (double& x : v) {
    while (p < end && (*p == ' ' || *p == ',' || *p == '\t' || *p == '\n' || *p == '\r')) ++p;
    auto [next, ec] = std::from_chars(p, end, x);
    if (ec != std::errc() || !std::isfinite(x)) return false;
    p = next;
  }
  w = v[2];
  h = v[3];
  return w > 0 && h > 0;
}

int SideFrom(double v) { return int(std::clamp(std::lround(std::min(v, double(MaxBitmapSide))), 1L, long(MaxBitmapSide))); }

// The document's elements as a tree, with the targets of `use` references.
class TSvgScan {
 public:
  void Run(const QByteArray& bytes) {
    QXmlStreamReader xml(bytes);
    std::vector<int> open;
    std::unordered_map<std::string, int> ids;
    std::vector<std::string> hrefs;
    while (!xml.atEnd()) {
      const QXmlStreamReader::TokenType t = xml.readNext();
      if (t == QXmlStreamReader::StartElement) {
        if (std::int64_t(FChildren.size()) >= MaxSvgExpandedNodes) throw TRefused{"too many elements"};
        if (int(open.size()) >= MaxSvgDepth) throw TRefused{"elements nested too deeply"};
        const int index = int(FChildren.size());
        FChildren.emplace_back();
        if (!open.empty()) FChildren[std::size_t(open.back())].push_back(index);
        const QXmlStreamAttributes attributes = xml.attributes();
        std::string href;
        for (const QXmlStreamAttribute& a : attributes) {
          if (a.name() == u"id") ids.emplace(a.value().toString().toStdString(), index);
          if (a.name() == u"href" && xml.name() == u"use") href = a.value().toString().trimmed().toStdString();
        }
        hrefs.push_back(std::move(href));
        if (index == 0) {
          if (xml.name() != u"svg") throw TRefused{"the root element is not svg"};
          Root(attributes);
        }
        open.push_back(index);
      } else if (t == QXmlStreamReader::EndElement) {
        if (!open.empty()) open.pop_back();
      }
    }
    if (xml.hasError()) throw TRefused{"malformed XML"};
    if (FChildren.empty()) throw TRefused{"no elements"};
    FTarget.assign(FChildren.size(), -1);
    for (std::size_t i = 0; i < hrefs.size(); ++i)
      if (hrefs[i].size() > 1 && hrefs[i][0] == '#')
        if (auto it = ids.find(hrefs[i].substr(1)); it != ids.end()) FTarget[i] = it->second;
    FCost.assign(FChildren.size(), -1);
    FDepth.assign(FChildren.size(), 0);
    FVisiting.assign(FChildren.size(), false);
    Cost(0, 0);
  }

  TSize Size() const { return FSize; }

 private:
  void Root(const QXmlStreamAttributes& a) {
    const double w = LengthPixels(a.value(QLatin1String("width")).toString().toStdString());
    const double h = LengthPixels(a.value(QLatin1String("height")).toString().toStdString());
    double vw = 0, vh = 0;
    const bool box = ViewBoxSize(a.value(QLatin1String("viewBox")).toString().toStdString(), vw, vh);
    if (w > 0 && h > 0)
      FSize = {SideFrom(w), SideFrom(h)};
    else if (w > 0 && box)
      FSize = {SideFrom(w), SideFrom(w * vh / vw)};
    else if (h > 0 && box)
      FSize = {SideFrom(h * vw / vh), SideFrom(h)};
    else if (box)
      FSize = {SideFrom(vw), SideFrom(vh)};
  }

  // Nodes drawn for element i with its references expanded, and the depth of nesting and
  // references below it (both kept, so each element is counted once); refuses beyond the limits.
  std::int64_t Cost(int i, int depth) {
    if (depth > MaxSvgDepth) throw TRefused{"references nested too deeply"};
    const std::size_t k = std::size_t(i);
    if (FCost[k] >= 0) return FCost[k];
    if (FVisiting[k]) throw TRefused{"a reference cycle"};
    FVisiting[k] = true;
    std::int64_t c = 1;
    int below = 0;
    auto add = [&](int j) {
      c += Cost(j, depth + 1);
      below = std::max(below, FDepth[std::size_t(j)] + 1);
      if (c > MaxSvgExpandedNodes) throw TRefused{"too many nodes once references are expanded"};
      if (below > MaxSvgDepth) throw TRefused{"references nested too deeply"};
    };
    for (int child : FChildren[k]) add(child);
    if (FTarget[k] >= 0) add(FTarget[k]);
    FVisiting[k] = false;
    FCost[k] = c;
    FDepth[k] = below;
    return c;
  }

  std::vector<std::vector<int>> FChildren;
  std::vector<int> FTarget;
  std::vector<std::int64_t> FCost;
  std::vector<int> FDepth;
  std::vector<bool> FVisiting;
  TSize FSize{300, 150};
};

}  // namespace

struct TVectorImage::TImpl {
  QSvgRenderer Renderer;
};

TVectorImage::TVectorImage() : FImpl(std::make_unique<TImpl>()) {}
TVectorImage::~TVectorImage() = default;

std::unique_ptr<TVectorImage> TVectorImage::FromBytes(const std::uint8_t* data, std::size_t size, std::string* error) {
  auto fail = [&](const char* reason) -> std::unique_ptr<TVectorImage> {
    if (error) *error = std::string("SVG refused: ") + reason;
    return nullptr;
  };
  if (!data || size == 0) return fail("no data");
  if (size > MaxSvgBytes) return fail("too large");
  const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
  TSvgScan scan;
  try {
    scan.Run(bytes);
  } catch (const TRefused& r) {
    return fail(r.Reason);
  }
  EnsureGuiApplication();
  // A damaged picture in a page is the page's business, shown as the broken-image box: Qt's
  // SVG warnings about it would only fill the terminal of whoever started the program.
  static const bool quiet = [] {
    QLoggingCategory::setFilterRules(QStringLiteral("qt.svg.warning=false\nqt.svg.critical=false"));
    return true;
  }();
  (void)quiet;
  std::unique_ptr<TVectorImage> image(new TVectorImage);
  if (!image->FImpl->Renderer.load(bytes) || !image->FImpl->Renderer.isValid()) return fail("not a picture");
  // Fitted and centred, as the default preserveAspectRatio of browsers does.
  image->FImpl->Renderer.setAspectRatioMode(Qt::KeepAspectRatio);
  image->FSize = scan.Size();
  return image;
}

std::unique_ptr<TBitmap> TVectorImage::Render(int width, int height) const {
  if (width <= 0 || height <= 0 || width > MaxBitmapSide || height > MaxBitmapSide) return nullptr;
  if (std::int64_t(width) * height > MaxSvgRenderPixels) return nullptr;
  std::unique_ptr<TBitmap> out = TBitmap::Create(width, height, 32);
  if (!out) return nullptr;
  out->SetAlpha(true);
  QImage target = BitmapAsQImage(*out);
  if (target.isNull()) return nullptr;
  QPainter painter(&target);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  FImpl->Renderer.render(&painter, QRectF(0, 0, width, height));
  painter.end();
  return out;
}

}  // namespace korva
