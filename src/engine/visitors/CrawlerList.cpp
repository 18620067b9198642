#include "CrawlerList.h"
#include "engine/base/TextHash.h"

#include "ShippedLists.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>

#include <re2/re2.h>
#include <re2/set.h>

#include <algorithm>
#include <mutex>

namespace backtrail::engine {

struct CrawlerList::Compiled
{
    std::vector<std::string> patterns;
    /// Each pattern's bot mark: the kind its first tag names.
    std::vector<std::uint8_t> marks;
    std::vector<Rejected> rejected;
    QString error;
    /// All patterns at once; null when there are none or they did not fit the budget.
    std::unique_ptr<RE2::Set> set;

    /// The patterns one by one, compiled on first need: when the set could not
    /// be built, or in the unexpected case that its matching runs out of memory.
    mutable std::once_flag singlesBuilt;
    mutable std::vector<std::unique_ptr<RE2>> singles;

    std::uint8_t matchOneByOne(std::string_view text) const
    {
        std::call_once(singlesBuilt, [this] {
            RE2::Options options;
            options.set_log_errors(false);
            singles.resize(patterns.size());
            for (std::size_t i = 0; i < patterns.size(); ++i) {
                auto single = std::make_unique<RE2>(patterns[i], options);
                if (single->ok())
                    singles[i] = std::move(single);
            }
        });
        const re2::StringPiece piece(text.data(), text.size());
        for (std::size_t i = 0; i < singles.size(); ++i) {
            if (singles[i] && RE2::PartialMatch(piece, *singles[i]))
                return marks[i];
        }
        return kPersonMark;
    }

    /// The mark of the first pattern that matches the text; kPersonMark when none does.
    std::uint8_t match(std::string_view text) const
    {
        if (patterns.empty())
            return kPersonMark;
        if (set) {
            RE2::Set::ErrorInfo info {RE2::Set::kNoError};
            const re2::StringPiece piece(text.data(), text.size());
            // Most user agents are people's: whether any pattern matches is
            // asked first, which may stop early; which ones only for a crawler.
            if (set->Match(piece, nullptr, &info)) {
                // The set's numbers are the patterns' places in `patterns`.
                std::vector<int> matched;
                if (set->Match(piece, &matched, &info) && !matched.empty())
                    return marks[std::size_t(*std::min_element(matched.begin(), matched.end()))];
            }
            if (info.kind == RE2::Set::kNoError)
                return kPersonMark;
        }
        return matchOneByOne(text);
    }
};

CrawlerList::CrawlerList()
    : compiled(std::make_shared<const Compiled>())
{
}

CrawlerList::CrawlerList(std::shared_ptr<const Compiled> patterns)
    : compiled(std::move(patterns))
{
}

CrawlerList::CrawlerList(const CrawlerList& other)
    : compiled(other.compiled)
    , cacheLimit(other.cacheLimit)
{
}

CrawlerList& CrawlerList::operator=(const CrawlerList& other)
{
    if (this != &other) {
        compiled = other.compiled;
        cacheLimit = other.cacheLimit;
        newer.clear();
        older.clear();
    }
    return *this;
}

CrawlerList::~CrawlerList() = default;

CrawlerList CrawlerList::FromJson(std::string_view json, std::int64_t memoryBudget)
{
    auto result = std::make_shared<Compiled>();
    QJsonParseError parseError;
    const QJsonDocument document
        = QJsonDocument::fromJson(QByteArray::fromRawData(json.data(), qsizetype(json.size())), &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        result->error = QStringLiteral("the crawler list is no JSON: %1 at byte %2")
                            .arg(parseError.errorString())
                            .arg(parseError.offset);
        return CrawlerList(std::move(result));
    }
    if (!document.isArray()) {
        result->error = QStringLiteral("the crawler list is no JSON array");
        return CrawlerList(std::move(result));
    }

    RE2::Options options;
    options.set_log_errors(false);
    options.set_max_mem(memoryBudget);
    auto set = std::make_unique<RE2::Set>(options, RE2::UNANCHORED);
    const QJsonArray entries = document.array();
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const QJsonValue pattern = entries.at(i).toObject().value(QLatin1String("pattern"));
        if (!pattern.isString()) {
            result->rejected.push_back({std::size_t(i), {}, "the entry has no pattern"});
            continue;
        }
        std::string text = pattern.toString().toStdString();
        std::string reason;
        if (set->Add(re2::StringPiece(text.data(), text.size()), &reason) < 0) {
            result->rejected.push_back({std::size_t(i), std::move(text), std::move(reason)});
            continue;
        }
        result->patterns.push_back(std::move(text));
        const QJsonArray tags = entries.at(i).toObject().value(QLatin1String("tags")).toArray();
        const QByteArray kind = tags.isEmpty() ? QByteArray() : tags.first().toString().toUtf8();
        result->marks.push_back(CrawlerKindMark(std::string_view(kind.constData(), std::size_t(kind.size()))));
    }
    if (!result->patterns.empty() && set->Compile())
        result->set = std::move(set);
    return CrawlerList(std::move(result));
}

const CrawlerList& CrawlerList::Shipped()
{
    static const CrawlerList shipped = FromJson(ShippedCrawlerUserAgentsJson());
    return shipped;
}

std::uint8_t CrawlerList::crawlerMark(std::string_view userAgent)
{
    const std::uint64_t hash = TextHash(userAgent);
    if (const std::uint8_t* hit = newer.find(hash, userAgent))
        return *hit;
    const std::uint8_t* olderHit = older.find(hash, userAgent);
    const std::uint8_t answer = olderHit ? *olderHit : compiled->match(userAgent);
    if (userAgent.size() <= kLongestCachedUserAgent) {
        if (newer.size() >= cacheLimit) {
            older = std::move(newer);
            newer = Cache();
        }
        newer.insert(hash, userAgent, answer);
    }
    return answer;
}

const std::uint8_t* CrawlerList::Cache::find(std::uint64_t hash, std::string_view text) const
{
    const Slot* slot = table.find(hash, [&](const Slot& held) {
        return held.hash == hash && held.length == text.size()
            && std::string_view(bytes).substr(held.offset, held.length) == text;
    });
    return slot ? &slot->answer : nullptr;
}

void CrawlerList::Cache::insert(std::uint64_t hash, std::string_view text, std::uint8_t answer)
{
    table.add(hash, {hash, std::uint32_t(bytes.size()), std::uint32_t(text.size()), true, answer},
              [](const Slot& held) { return held.hash; });
    bytes.append(text);
}

void CrawlerList::Cache::clear()
{
    table.clear();
    bytes.clear();
}

bool CrawlerList::matches(std::string_view userAgent) const
{
    return compiled->match(userAgent) != kPersonMark;
}

std::uint8_t CrawlerList::markOf(std::string_view userAgent) const
{
    return compiled->match(userAgent);
}

std::size_t CrawlerList::patternCount() const
{
    return compiled->patterns.size();
}

const std::vector<CrawlerList::Rejected>& CrawlerList::rejected() const
{
    return compiled->rejected;
}

QString CrawlerList::error() const
{
    return compiled->error;
}

bool CrawlerList::matchesAllAtOnce() const
{
    return compiled->set != nullptr || compiled->patterns.empty();
}

void CrawlerList::setCacheLimit(std::size_t limit)
{
    cacheLimit = limit > 0 ? limit : 1;
    newer.clear();
    older.clear();
}

} // namespace backtrail::engine
