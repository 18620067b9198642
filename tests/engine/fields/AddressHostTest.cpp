#include "PlainAddressHost.h"

#include "engine/fields/AddressHost.h"
#include "engine/fields/OwnSite.h"
#include "engine/results/Grouping.h"
#include "engine/visitors/ReferrerText.h"
#include "engine/visitors/SourceLists.h"
#include "engine/visitors/SpamList.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using namespace backtrail::engine;
using namespace backtrail::testing;

namespace {

std::string plainTrimmed(std::string text)
{
    const std::string blanks = " \t\r\n\f\v";
    text.erase(0, text.find_first_not_of(blanks));
    text.erase(text.find_last_not_of(blanks) + 1);
    return text;
}

class RandomAddresses
{
public:
    std::string next()
    {
        std::string address = pickOf(schemes);
        if (pick(6) == 0) { // bytes of every kind, mostly those that mean something in an address
            const std::string bytes = "aW.w:@[]/?#\")\\ \t-_%A\x01\x7f\xc3\xff";
            for (std::size_t n = pick(24); n > 0; --n)
                address += pick(8) == 0 ? char(pick(256)) : bytes[pick(bytes.size())];
            return address;
        }
        address += pickOf(users);
        if (pick(5) == 0) {
            address += pickOf(ipv6);
        } else {
            address += pickOf(labels);
            for (std::size_t n = pick(4); n > 0; --n)
                address += "." + pickOf(labels);
        }
        if (pick(5) == 0)
            address += '.';
        address += pickOf(ports);
        address += pickOf(rests);
        if (pick(8) == 0)
            address.insert(pick(address.size() + 1), 1, char(pick(256)));
        return address;
    }

private:
    std::size_t pick(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random); }
    const std::string& pickOf(const std::vector<std::string>& texts) { return texts[pick(texts.size())]; }

    std::mt19937 random {20261211};
    const std::vector<std::string> schemes {"",       "http://",     "HTTPS://", "android-app://", "Android-App://",
                                            "ftp://", "s3+x.y-z://", "1http://", "http:/",         "http//",
                                            "://",    " http://"};
    const std::vector<std::string> users {"", "", "", "user@", "u:pw@", "a@b@", "@", "mysite.example@", "x]:1@"};
    const std::vector<std::string> labels {"www",           "WWW",    "Www",
                                           "mysite",        "MySite", "example",
                                           "com",           "org",    "evil",
                                           "a-b",           "x_y",    "\xc3\xa9t\xc3\xa9",
                                           "%41",           "",       "com.google.android.googlequicksearchbox",
                                           "mysite.example"};
    const std::vector<std::string> ipv6 {"[2001:db8::1]", "[::1]", "[fe80::1%25eth0]", "[::ffff:1.2.3.4"};
    const std::vector<std::string> ports {"", "", ":8080", ":", ":x:y"};
    const std::vector<std::string> rests {"",   "/",   "/p/a@b:c?q=1", "?q=a:b@c", "#top", " more", "\"",
                                          ")x", "\\y", "\t",           "\x7f",     "\r\n", ",z",    "/search?q=w"};
};

// Every reader of a host reads it as the plain reading does: the own site's
// test, the spam list, the source lists and grouping by site.
TEST(AddressHost, EveryReaderAgreesWithAPlainReadingOnRandomAddresses)
{
    RandomAddresses addresses;
    const OwnSite own("mysite.example");
    const SpamList spam("MySite.Example.");
    const SourceLists& lists = SourceLists::Shipped();
    int ownHosts = 0, googleApps = 0, otherApps = 0;
    for (int round = 0; round < 20000; ++round) {
        const std::string address = addresses.next();
        const std::string after = PlainAfterScheme(address);
        const PlainHost plain = PlainAddressHost(after);
        const std::string normal = PlainNormalHost(address);
        ASSERT_EQ(AfterScheme(address), after) << address;
        std::size_t authorityEnd = 0;
        const std::string_view host = AddressHost(after, &authorityEnd);
        ASSERT_EQ(host, plain.host) << address;
        ASSERT_EQ(std::size_t(host.data() - after.data()), plain.begin) << address;
        ASSERT_EQ(authorityEnd, plain.authorityEnd) << address;
        ASSERT_EQ(ReferrerHost(address), plain.host) << address;
        ASSERT_EQ(NormalHost(host), normal) << address;

        ASSERT_EQ(ReferringSite(address), normal) << address;
        const ReferrerParts parts = SplitReferrer(address);
        ASSERT_EQ(parts.host, normal) << address;
        ASSERT_EQ(SpamList::NormalHost(address), PlainNormalHost(plainTrimmed(address))) << address;
        // The own site and the spam list hold the same host and those below it.
        const bool mine = normal == "mysite.example" || normal.ends_with(".mysite.example");
        ASSERT_EQ(own.holds(after), mine) << address;
        ASSERT_EQ(spam.isSpam(ReferrerHost(address)), mine) << address;
        ownHosts += mine;
        if (round % 4)
            continue;
        // An app's package is its host: Google's search app is Google; an address the lists do not know is a
        // website named by its host, an app's by "app:" and its package.
        const bool app = address.starts_with("android-app://") || address.starts_with("Android-App://");
        const Source source = lists.classify(address);
        if (normal == "com.google.android.googlequicksearchbox") {
            EXPECT_EQ(source.kind, SourceKind::Search) << address;
            EXPECT_EQ(source.name, "Google") << address;
            googleApps += app;
        } else if (source.kind == SourceKind::Website) {
            ASSERT_EQ(source.name, (app ? "app:" : "") + normal) << address;
            otherApps += app;
        }
    }
    // Each case came out often enough for the comparison to mean something.
    EXPECT_GT(ownHosts, 200);
    EXPECT_GT(googleApps, 5);
    EXPECT_GT(otherApps, 200);
}

} // namespace
