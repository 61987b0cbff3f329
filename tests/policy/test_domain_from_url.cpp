#include "policy/DomainFromUrl.h"

#include <gtest/gtest.h>

namespace {

struct UrlCase {
    const char* url;
    const char* domain;
};

class DomainFromUrl : public testing::TestWithParam<UrlCase> {};

TEST_P(DomainFromUrl, ReducesAnAddressToTheTextBetweenMarkerAndSlash) {
    const UrlCase& c = GetParam();
    EXPECT_EQ(GetDomainFromURL(QString::fromUtf8(c.url)), QString::fromUtf8(c.domain)) << c.url;
}

INSTANTIATE_TEST_SUITE_P(
    Table, DomainFromUrl,
    testing::Values(UrlCase{"http://w.x.y/p/q.html", "w.x.y"}, UrlCase{"HTTP://W.X.Y/p", "W.X.Y"},
                    UrlCase{"http://w.x.y", "w.x.y"}, UrlCase{"http://w.x.y:8080/p", "w.x.y:8080"},
                    UrlCase{"http://w.x.y?a=1", "w.x.y?a=1"}, UrlCase{"http:///p", ""},
                    UrlCase{"ftp://f.x.y/pub/", "f.x.y"}, UrlCase{"file:///C:/a.htm", "file:"},
                    UrlCase{"w.x.y/index.html", "w.x.y"}, UrlCase{"w.x.y", "w.x.y"},
                    UrlCase{"about:blank", "about:blank"}, UrlCase{"/p", ""}, UrlCase{"http://", "http:"},
                    UrlCase{"ftp://", "ftp:"}, UrlCase{"", ""}, UrlCase{"x:open('http://a.x.y/b')", "a.x.y"},
                    UrlCase{"w.x.y/r?u=http://z.q/", "z.q"},
                    // https is a scheme marker like http: an https opener must not reduce to
                    // "https:", an entry that would match every https page.
                    UrlCase{"https://s.x.y/login", "s.x.y"}, UrlCase{"HTTPS://S.X.Y:8443/a", "S.X.Y:8443"},
                    UrlCase{"https://s.x.y", "s.x.y"}, UrlCase{"https://", "https:"},
                    // The earlier of the two web markers wins; ftp keeps its later place.
                    UrlCase{"https://a.q/?next=http://b.q/", "a.q"},
                    UrlCase{"http://a.q/?next=https://b.q/", "a.q"},
                    UrlCase{"ftp://f.q/?u=https://s.q/", "s.q"}, UrlCase{"w.x.y/r?u=https://z.q/", "z.q"}));

} // namespace
