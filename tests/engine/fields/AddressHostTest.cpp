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

// Every reader of a host reads it as the plain reading does: the own site's
// test, the spam list, the source lists and grouping by site. The addresses
// mix schemes, user information, IPv6, ports, "www.", letter case, trailing
// dots, every byte that ends a host, apps, and random bytes anywhere.
TEST(AddressHost, EveryReaderAgreesWithAPlainReadingOnRandomAddresses)
{
    using Texts = std::vector<std::string>;
    const Texts schemes {"",         "http://", "HTTPS://", "android-app://", "Android-App://", "s3+x.y-z://",
                         "1http://", "http:/",  "://",      " http://"};
    const Texts users {"", "", "", "user@", "u:pw@", "a@b@", "@", "mysite.example@", "x]:1@"};
    const Texts labels {"www",
                        "WWW",
                        "mysite",
                        "MySite",
                        "example",
                        "com",
                        "a-b",
                        "x_y",
                        "\xc3\xa9t\xc3\xa9",
                        "",
                        "com.google.android.googlequicksearchbox",
                        "mysite.example",
                        "[::1]",
                        "[fe80::1%25eth0"};
    const Texts ends {"",   "",   ":8080", ":",  ":x:y", "/p/a@b:c?q=1", "?q=a:b@c", "#top",       " more",
                      "\"", ")x", "\\y",   "\t", "\x7f", "\r\n",         ",z",       "/search?q=w"};
    std::mt19937 random(20261211);
    auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random); };
    auto pickOf = [&](const Texts& texts) { return texts[pick(texts.size())]; };

    const OwnSite own("mysite.example");
    const SpamList spam("MySite.Example.");
    const SourceLists& lists = SourceLists::Shipped();
    int ownHosts = 0, googleApps = 0, otherApps = 0;
    for (int round = 0; round < 20000; ++round) {
        std::string address = pickOf(schemes) + pickOf(users) + pickOf(labels);
        for (std::size_t n = pick(4); n > 0; --n)
            address += "." + pickOf(labels);
        address += (pick(5) == 0 ? "." : "") + pickOf(ends) + pickOf(ends);
        for (std::size_t n = pick(3) == 0 ? pick(3) + 1 : 0; n > 0; --n)
            address.insert(pick(address.size() + 1), 1, pick(2) ? char(pick(256)) : "@:[]/.)"[pick(7)]);

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
        ASSERT_EQ(SplitReferrer(address).host, normal) << address;
        const std::size_t first = address.find_first_not_of(" \t\r\n\f\v");
        const std::string trimmed = first == std::string::npos ? "" : address.substr(first);
        ASSERT_EQ(SpamList::NormalHost(address), PlainNormalHost(trimmed)) << address;
        // The own site and the spam list hold the same host and those below it.
        const bool mine = normal == "mysite.example" || normal.ends_with(".mysite.example");
        ASSERT_EQ(own.holds(after), mine) << address;
        ASSERT_EQ(spam.isSpam(ReferrerHost(address)), mine) << address;
        ownHosts += mine;
        if (round % 4)
            continue;
        // An app's package is its host: Google's search app is Google; an address the lists do not know is a
        // website named by its host, an app's by "app:" and its package.
        const bool app = PlainLower(address).starts_with("android-app://");
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
