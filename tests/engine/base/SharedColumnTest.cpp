#include "engine/base/SharedColumn.h"
#include "engine/base/TextList.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using backtrail::engine::SharedColumn;
using backtrail::engine::TextList;

// Copies that share values, changed at random, each against a vector of its own.
TEST(SharedColumn, CopiesChangeAsIfEachHeldItsOwnValues)
{
    std::mt19937 random(5);
    for (int round = 0; round < 50; ++round) {
        std::vector<SharedColumn<int>> columns(4);
        std::vector<std::vector<int>> expected(4);
        for (int step = 0; step < 400; ++step) {
            const std::size_t a = random() % 4;
            const std::size_t b = random() % 4;
            switch (random() % 9) {
            case 0:
                columns[a] = columns[b];
                expected[a] = expected[b];
                break;
            case 1:
                if (a != b) {
                    columns[a] = std::move(columns[b]);
                    expected[a] = std::move(expected[b]);
                    columns[b].clear();
                    expected[b].clear();
                }
                break;
            case 2:
                if (!expected[a].empty()) {
                    const std::size_t i = random() % expected[a].size();
                    columns[a][i] = expected[a][i] = int(random() % 100);
                }
                break;
            case 3: {
                const SharedColumn<int> before = columns[b];
                columns[a].append(before);
                expected[a].insert(expected[a].end(), expected[b].begin(), expected[b].end());
                break;
            }
            case 4:
                if (random() % 8 == 0) {
                    columns[a].clear();
                    expected[a].clear();
                } else {
                    const std::size_t size = random() % 20;
                    columns[a].resize(size);
                    expected[a].resize(size);
                }
                break;
            case 5: {
                std::vector<std::size_t> kept;
                std::vector<int> left;
                for (std::size_t i = 0; i < expected[a].size(); ++i) {
                    if (random() % 3 != 0) {
                        kept.push_back(i);
                        left.push_back(expected[a][i]);
                    }
                }
                columns[a].keepOnly(kept);
                expected[a] = left;
                break;
            }
            case 6: {
                if (expected[a].size() + expected[b].size() > 200)
                    break; // each time may double a column
                const SharedColumn<int> before = columns[b];
                columns[a].prepend(before);
                expected[a].insert(expected[a].begin(), expected[b].begin(), expected[b].end());
                break;
            }
            default:
                columns[a].push_back(step);
                expected[a].push_back(step);
            }
            for (std::size_t c = 0; c < 4; ++c)
                ASSERT_EQ(std::vector<int>(columns[c].begin(), columns[c].end()), expected[c]) << round << " " << step;
        }
    }
}

// A shared text list and the list it came from part as either changes, also
// when one is put in front of the other.
TEST(SharedColumn, SharedTextListsPartOnChange)
{
    std::mt19937 random(6);
    for (int round = 0; round < 50; ++round) {
        TextList lists[2];
        std::vector<std::string> expected[2];
        for (int step = 0; step < 300; ++step) {
            const std::size_t a = random() % 2;
            const std::string text(random() % 40, char('a' + step % 26));
            switch (random() % 6) {
            case 0:
                lists[a] = lists[1 - a].share();
                expected[a] = expected[1 - a];
                break;
            case 4: {
                // The other list's entries put first, their bytes shared, not copied
                // (while the lists are short: each time doubles them).
                if (expected[a].size() + expected[1 - a].size() > 200)
                    break;
                lists[a].prepend(lists[1 - a].share());
                expected[a].insert(expected[a].begin(), expected[1 - a].begin(), expected[1 - a].end());
                break;
            }
            case 1:
                if (!expected[a].empty()) {
                    const std::size_t i = random() % expected[a].size();
                    lists[a].set(i, text);
                    expected[a][i] = text;
                }
                break;
            case 2: {
                std::vector<std::size_t> kept;
                std::vector<std::string> left;
                for (std::size_t i = 0; i < expected[a].size(); ++i) {
                    if (random() % 3 != 0) {
                        kept.push_back(i);
                        left.push_back(expected[a][i]);
                    }
                }
                lists[a].keepOnly(kept);
                expected[a] = left;
                break;
            }
            default:
                lists[a].append(text);
                expected[a].push_back(text);
            }
            for (std::size_t l = 0; l < 2; ++l) {
                ASSERT_EQ(lists[l].size(), expected[l].size());
                std::size_t bytes = 0;
                for (std::size_t i = 0; i < expected[l].size(); ++i) {
                    ASSERT_EQ(lists[l][i], expected[l][i]) << round << " " << step;
                    bytes += expected[l][i].size();
                }
                ASSERT_EQ(lists[l].textBytes(), bytes);
            }
        }
    }
}
