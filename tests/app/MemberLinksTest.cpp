// Which member a reference names, and which links leave the archive.
#include <gtest/gtest.h>

#include "app/MemberLinks.h"

namespace korva {
namespace {

TEST(MemberLinksTest, ReferencesResolveAgainstTheReferrersFolder) {
  struct Case {
    const char *Referrer, *Reference, *Member;
  } cases[] = {
      // Flat archives: the link is the member.
      {"Overview.html", "a.html", "a.html"},
      {"", "A.HTML", "A.HTML"},
      {"Overview.html", "", ""},
      // Folders, with either separator on either side.
      {"html\\guide\\intro.html", "api.html", "html\\guide\\api.html"},
      {"html/guide/intro.html", "../ref/api.html", "html\\ref\\api.html"},
      {"html\\guide\\intro.html", "..\\ref\\api.html", "html\\ref\\api.html"},
      {"html\\guide\\intro.html", "./pic/../pic/./a.png", "html\\guide\\pic\\a.png"},
      {"html\\guide\\intro.html", "../../index.html", "index.html"},
      {"html\\guide\\intro.html", "sub//x.html", "html\\guide\\sub\\x.html"},
      // A leading separator names the root.
      {"html\\guide\\intro.html", "/css/a.css", "css\\a.css"},
      // Nothing above the root.
      {"html\\intro.html", "../../../../etc/passwd", "etc\\passwd"},
      {"", "/../x", "x"},
      {"a.html", "..", ""},
      // Folders keep their separator.
      {"html\\intro.html", "img/", "html\\img\\"},
      {"html\\intro.html", "img/.", "html\\img\\"},
      {"html\\a\\intro.html", "..", "html\\"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.Referrer) + " + " + c.Reference);
    EXPECT_EQ(ResolveMemberReference(c.Referrer, c.Reference), c.Member);
  }
}

TEST(MemberLinksTest, CandidatesTryQueryAndEscapesAfterTheNameAsWritten) {
  EXPECT_EQ(MemberCandidates("d\\p.html", "a.html"), (std::vector<std::string>{"d\\a.html"}));
  EXPECT_EQ(MemberCandidates("d\\p.html", "a%20b.html?v=2"),
            (std::vector<std::string>{"d\\a%20b.html?v=2", "d\\a%20b.html", "d\\a b.html"}));
  // An escaped separator still cannot climb above the root.
  EXPECT_EQ(MemberCandidates("", "..%2F..%2Fx"), (std::vector<std::string>{"..%2F..%2Fx", "x"}));
  EXPECT_TRUE(MemberCandidates("d\\p.html", "").empty());
}

TEST(MemberLinksTest, PercentDecodingKeepsWhatIsNotAnEscape) {
  EXPECT_EQ(PercentDecode("a%20b%2fc"), "a b/c");
  EXPECT_EQ(PercentDecode("100%"), "100%");
  EXPECT_EQ(PercentDecode("%4"), "%4");
  EXPECT_EQ(PercentDecode("%zz%41"), "%zzA");
  EXPECT_EQ(PercentDecode("%2541"), "%41");
}

TEST(MemberLinksTest, LinkKinds) {
  struct Case {
    const char* Url;
    TLinkKind Kind;
    const char* Scheme;
  } cases[] = {
      {"a.html", TLinkKind::lkMember, ""},
      {"#sec", TLinkKind::lkMember, ""},
      {"", TLinkKind::lkMember, ""},
      {"../x.html#a:b", TLinkKind::lkMember, ""},
      {"c:\\docs\\a.html", TLinkKind::lkMember, ""},
      {"x.html?q=http://y", TLinkKind::lkMember, ""},
      {"http://example.com/", TLinkKind::lkExternal, "http"},
      {"HTTPS://example.com/", TLinkKind::lkExternal, "https"},
      {"mailto:a@b.org", TLinkKind::lkExternal, "mailto"},
      {"ftp://h/f", TLinkKind::lkExternal, "ftp"},
      {" news:comp.lang", TLinkKind::lkExternal, ""},
      {"//host/x", TLinkKind::lkExternal, ""},
      {"file:///etc/passwd", TLinkKind::lkUnsupported, "file"},
      {"javascript:void(0)", TLinkKind::lkUnsupported, "javascript"},
      {"x-vendor+app.1:open", TLinkKind::lkUnsupported, "x-vendor+app.1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Url);
    EXPECT_EQ(ClassifyLink(c.Url), c.Kind);
    EXPECT_EQ(LinkScheme(c.Url), c.Scheme);
  }
}

}  // namespace
}  // namespace korva
