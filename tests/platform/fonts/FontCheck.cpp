// Checks, before any test runs, that the fonts the tests measure and draw with are installed,
// prints what it found, and names the package to install for anything missing. Without it a
// machine lacking a font fails in some drawing test far away, or, worse, passes for the wrong
// reason.
#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGlyphRun>
#include <QGuiApplication>
#include <QRawFont>
#include <QStringList>
#include <QTextLayout>

#include <cstdio>

// Under LeakSanitizer: fontconfig's caches live until the process ends (as for the tests).
extern "C" __attribute__((weak)) const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace {

constexpr const char* InstallHint = "scripts/install-deps.sh installs it";

struct TFamily {
  const char* Family;
  const char* Package;
  const char* Use;
};

// The faces the classic Windows names are drawn with (see platform/Font.h).
const TFamily Families[] = {
    {"Liberation Serif", "fonts-liberation2", "Times New Roman"},
    {"Liberation Sans", "fonts-liberation2", "Arial, the default face"},
    {"Liberation Mono", "fonts-liberation2", "Courier New"},
};

// Han and kana that no Liberation face has: drawn from a fallback face found by Qt's font
// matching, as the fonts do it.
constexpr char16_t CjkSample[] = u"\u65E5\u672C\u8A9E\u3072\u3089\u304C\u306A\u30AB\u30BF\u30AB\u30CA";
constexpr const char* CjkPackage = "fonts-wqy-microhei";

// The families that draw `text` in the given face, or an empty list when some character has
// no glyph in any installed face.
QStringList FamiliesDrawing(const QString& text, const QString& face) {
  QFont font(face);
  font.setPixelSize(16);
  QTextLayout layout(text, font);
  layout.beginLayout();
  layout.createLine();
  layout.endLayout();
  QStringList families;
  qsizetype glyphs = 0;
  for (const QGlyphRun& run : layout.glyphRuns()) {
    for (quint32 g : run.glyphIndexes()) {
      if (g == 0) return {};
      ++glyphs;
    }
    if (!families.contains(run.rawFont().familyName())) families << run.rawFont().familyName();
  }
  return glyphs == text.size() ? families : QStringList();
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  bool ok = true;
  std::printf("Fonts the tests rely on:\n");
  for (const TFamily& f : Families) {
    const QString family = QString::fromLatin1(f.Family);
    const QString matched = QFontInfo(QFont(family)).family();
    if (QFontDatabase::hasFamily(family) && matched == family) {
      std::printf("  %-18s found (drawn for %s)\n", f.Family, f.Use);
    } else {
      std::printf("  %-18s MISSING (would be drawn with %s): install the package %s (%s)\n", f.Family,
                  qPrintable(matched), f.Package, InstallHint);
      ok = false;
    }
  }
  const QStringList cjk = FamiliesDrawing(QString::fromUtf16(CjkSample), QStringLiteral("Liberation Serif"));
  if (!cjk.isEmpty()) {
    std::printf("  %-18s found: %s\n", "CJK fallback", qPrintable(cjk.join(QStringLiteral(", "))));
  } else {
    std::printf("  %-18s MISSING (no installed face has Japanese glyphs): install the package %s (%s)\n",
                "CJK fallback", CjkPackage, InstallHint);
    ok = false;
  }
  return ok ? 0 : 1;
}
