#include "CrawlerList.h"
#include "TextHash.h"

#include "ShippedLists.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>

#include <re2/re2.h>
#include <re2/set.h>

#include <mutex>

namespace backtrail::engine {

struct CrawlerList::Compiled
{
    std::vector<std::string> patterns;
    std::vector<Rejected> rejected;
    QString error;
    /// All patterns at once; null when there are none or they did not fit the budget.
    std::unique_ptr<RE2::Set> set;

    /// The patterns one by one, compiled on first need: when the set could not
    /// be built, or in the unexpected case that its matching runs out of memory.
    mutable std::once_flag singlesBuilt;
    mutable std::vector<std::unique_ptr<RE2>> singles;

    bool matchOneByOne(std::string_view text) const
    {
        std::call_once(singlesBuilt, [this] {
            RE2::Options options;
            options.set_log_errors(false);
            singles.reserve(patterns.size());
            for (const std::string& pattern : patterns) {
                auto single = std::make_unique<RE2>(pattern, options);
                if (single->ok())
                    singles.push_back(std::move(single));
            }
        });
        const re2::StringPiece piece(text.data(), text.size());
        for (const auto& single : singles) {
            if (RE2::PartialMatch(piece, *single))
                return true;
        }
        return false;
    }

    bool match(std::string_view text) const
    {
        if (patterns.empty())
            return false;
        if (set) {
            RE2::Set::ErrorInfo info {RE2::Set::kNoError};
            if (set->Match(re2::StringPiece(text.data(), text.size()), nullptr, &info))
                return true;
            if (info.kind == RE2::Set::kNoError)
                return false;
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

bool CrawlerList::isCrawler(std::string_view userAgent)
{
    const Asked asked {TextHash(userAgent), userAgent};
    if (const auto hit = newer.find(asked); hit != newer.end())
        return hit->second;
    bool answer = false;
    if (const auto hit = older.find(asked); hit != older.end())
        answer = hit->second;
    else
        answer = compiled->match(userAgent);
    if (userAgent.size() <= kLongestCachedUserAgent) {
        if (newer.size() >= cacheLimit) {
            older = std::move(newer);
            newer = Cache();
        }
        newer.emplace(Known {asked.hash, std::string(userAgent)}, answer);
    }
    return answer;
}

bool CrawlerList::matches(std::string_view userAgent) const
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
