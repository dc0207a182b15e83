#include "url/Url.h"

#include <gtest/gtest.h>

using namespace korva;

TEST(UrlBase, KeepsUpToLastSlashBeforeQuery) {
  EXPECT_EQ(UrlBase("http://host/dir/page.html?a=/b/c"), "http://host/dir/");
  EXPECT_EQ(UrlBase("  http://host/dir/sub/  "), "http://host/dir/sub/");
  EXPECT_EQ(UrlBase("http://host"), "http://host/");
  EXPECT_EQ(UrlBase("page.html"), "page.html/");
  EXPECT_EQ(UrlBase("/page.html"), "/page.html/");  // a leading "/" alone does not count
  EXPECT_EQ(UrlBase("docs/page.html"), "docs/");
  EXPECT_EQ(UrlBase(""), "/");
}

TEST(UrlCombine, RelativeForms) {
  EXPECT_EQ(UrlCombine("http://host/a/b/", "../c.html"), "http://host/a/c.html");
  EXPECT_EQ(UrlCombine("http://host/a/b/", "c.html"), "http://host/a/b/c.html");
  EXPECT_EQ(UrlCombine("http://host/a/b", "c.html"), "http://host/a/b/c.html");
  EXPECT_EQ(UrlCombine("http://host/a/b/", "/c.html"), "http://host/c.html");
  EXPECT_EQ(UrlCombine("http://host/a/", "//other/x"), "http://other/x");
  EXPECT_EQ(UrlCombine("https://host/a/", "//other/x"), "https://other/x");
  EXPECT_EQ(UrlCombine("http://host/a/", "b/./c/./d.html"), "http://host/a/b/c/d.html");
  EXPECT_EQ(UrlCombine("http://host/a/", ""), "http://host/a/");
  EXPECT_EQ(UrlCombine(" http://host/a/ ", " x.html "), "http://host/a/x.html");
}

TEST(UrlCombine, DotDotNeverClimbsAboveTheHost) {
  EXPECT_EQ(UrlCombine("http://host/a/", "../../../x.html"), "http://host/x.html");
  EXPECT_EQ(UrlCombine("http://host/", "../x.html"), "http://host/x.html");
  EXPECT_EQ(UrlCombine("http://host/a/b/c/", "../../x/../y.html"), "http://host/a/y.html");
}

TEST(UrlCombine, HostWithoutPathKeepsHostForRootedReference) {
  EXPECT_EQ(UrlCombine("http://host", "/x.html"), "http://host/x.html");
  EXPECT_EQ(UrlCombine("http://host", "x.html"), "http://host/x.html");
}

TEST(UrlCombine, FileAndPlainBases) {
  EXPECT_EQ(UrlCombine("file:///c|/docs/", "/x.htm"), "file:///c|/x.htm");
  EXPECT_EQ(UrlCombine("file:///c|/docs/sub/", "../x.htm"), "file:///c|/docs/x.htm");
  EXPECT_EQ(UrlCombine("file:///c|/docs/", "//srv/x"), "file://///srv/x");
  EXPECT_EQ(UrlCombine("docs/sub/", "../x.htm"), "docs/x.htm");
  EXPECT_EQ(UrlCombine("docs", "/x.htm"), "docs/x.htm");
  // The appended "/" of a bare base is its root: ".." cannot climb above it.
  EXPECT_EQ(UrlCombine("a", "../x"), "a/x");
}

TEST(UrlIsAbsolute, SchemesAndMailto) {
  EXPECT_TRUE(UrlIsAbsolute("http://host/x"));
  EXPECT_TRUE(UrlIsAbsolute("ftp://host"));
  EXPECT_FALSE(UrlIsAbsolute("dir/http://x"));
  EXPECT_FALSE(UrlIsAbsolute("x.html?u=http://y"));
  EXPECT_TRUE(UrlIsAbsolute("MailTo:someone@example.org"));
  EXPECT_TRUE(UrlIsAbsolute("dir/mailto:x"));
  EXPECT_FALSE(UrlIsAbsolute("page.html"));
  EXPECT_FALSE(UrlIsAbsolute(""));
}

TEST(UrlScheme, Forms) {
  EXPECT_EQ(UrlScheme("HTTP://host/"), "http");
  EXPECT_EQ(UrlScheme("File:///c|/x"), "file");
  EXPECT_EQ(UrlScheme("/x/y"), "http");
  EXPECT_EQ(UrlScheme("Http:x"), "http");
  EXPECT_EQ(UrlScheme("MAILTO:a@b"), "mailto");
  EXPECT_EQ(UrlScheme("x.html?q=http://y"), "");
  EXPECT_EQ(UrlScheme("?x"), "");
  EXPECT_EQ(UrlScheme(""), "");
}

TEST(UrlToLocalPath, DecodesAndConverts) {
  EXPECT_EQ(UrlToLocalPath("file:///c|/docs/a%20b.htm"), "c:\\docs\\a b.htm");
  EXPECT_EQ(UrlToLocalPath("FILE://c|/x"), "c:\\x");
  EXPECT_EQ(UrlToLocalPath("%41b"), "%41b");        // first position: not decoded
  EXPECT_EQ(UrlToLocalPath("a%41"), "aA");
  EXPECT_EQ(UrlToLocalPath("ab%4"), "ab%4");         // among the last two characters
  EXPECT_EQ(UrlToLocalPath("a%zz%41"), "a%zz%41");   // non-hex stops all decoding
  EXPECT_EQ(UrlToLocalPath("a%2541x"), "aAx");       // a decoded "%" is decoded again
  EXPECT_EQ(UrlToLocalPath("a%20b"), "a b");         // no "/": only decoded
  EXPECT_EQ(UrlToLocalPath("dir/a|b"), "dir\\a:b");
}

TEST(UrlToServerPath, RootOnlyForRootedPaths) {
  EXPECT_EQ(UrlToServerPath("/docs/a.htm", "c:\\site"), "c:\\site\\docs\\a.htm");
  EXPECT_EQ(UrlToServerPath("file:///c|/docs/a.htm", "c:\\site"), "c:\\docs\\a.htm");
  EXPECT_EQ(UrlToServerPath("//server/share/a.htm", "c:\\site"), "\\\\server\\share\\a.htm");
  EXPECT_EQ(UrlToServerPath("docs/a.htm", "c:\\site"), "docs\\a.htm");
  EXPECT_EQ(UrlToServerPath("/docs/a.htm", ""), "\\docs\\a.htm");
  EXPECT_EQ(UrlToServerPath("  ", "c:\\site"), "");
}

TEST(Url, ConfinedPathsStayInsideTheirFolder) {
  EXPECT_EQ(UrlConfinedPath("css/a.css"), "css/a.css");
  EXPECT_EQ(UrlConfinedPath(" ./css\\..\\b.css?v=1#x "), "b.css");
  EXPECT_EQ(UrlConfinedPath("docs/../_static/x.css"), "_static/x.css");
  for (const char* outside : {"../a.css", "css/../../a.css", "/etc/passwd", "\\\\server\\share\\a.css",
                              "c:/a.css", "C:\\a.css", "file:///etc/passwd", "file:a.css", "http://h/a.css", ""})
    EXPECT_EQ(UrlConfinedPath(outside), "") << outside;
}
