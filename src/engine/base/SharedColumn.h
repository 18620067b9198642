#pragma once

#include <algorithm>
#include <cstddef>
#include <memory>
#include <vector>

namespace backtrail::engine {

/// A list of values that copies share until one of them changes: copying a
/// column of millions of values costs nothing, and the first change to a
/// shared copy makes that copy a list of its own. The result rows of a large
/// scan are made this way from its lists without doubling their memory.
///
/// Reading is as with a vector; every change goes through a member of the
/// column, so that none can reach values another copy still shares.
template<class T, class Alloc = std::allocator<T>> class SharedColumn
{
public:
    using Vector = std::vector<T, Alloc>;

    SharedColumn() = default;
    SharedColumn(Vector values) // NOLINT: a vector converts, so that lists can be assigned one
        : items(values.empty() ? nullptr : std::make_shared<Vector>(std::move(values)))
    {
    }
    SharedColumn(const SharedColumn& other)
        : items(other.items)
        , shared(other.items != nullptr)
    {
        other.shared = shared;
    }
    SharedColumn& operator=(const SharedColumn& other)
    {
        if (this != &other) {
            items = other.items;
            shared = items != nullptr;
            other.shared = other.shared || shared;
        }
        return *this;
    }
    SharedColumn(SharedColumn&& other) noexcept
        : items(std::move(other.items))
        , shared(other.shared)
    {
        other.shared = false;
    }
    SharedColumn& operator=(SharedColumn&& other) noexcept
    {
        if (this != &other) {
            items = std::move(other.items);
            shared = other.shared;
            other.shared = false;
        }
        return *this;
    }

    std::size_t size() const { return items ? items->size() : 0; }
    bool empty() const { return size() == 0; }
    const T& operator[](std::size_t i) const { return (*items)[i]; }
    T& operator[](std::size_t i) { return own()[i]; }
    const T* begin() const { return items ? items->data() : nullptr; }
    const T* end() const { return items ? items->data() + items->size() : nullptr; }

    void push_back(const T& value) { own().push_back(value); }
    void reserve(std::size_t count) { own().reserve(count); }
    void resize(std::size_t count) { own().resize(count); }
    /// Appends all of `later`'s values.
    void append(const SharedColumn& later)
    {
        if (later.empty())
            return;
        if (empty()) {
            *this = later;
            return;
        }
        Vector& mine = own();
        mine.insert(mine.end(), later.begin(), later.end());
    }
    /// Keeps only the values at the given ascending positions, in that order.
    void keepOnly(const std::vector<std::size_t>& positions)
    {
        if (positions.size() == size())
            return; // every position, in order
        Vector& mine = own();
        std::size_t out = 0;
        for (const std::size_t p : positions)
            mine[out++] = mine[p];
        mine.resize(out);
    }
    /// Puts all of `earlier`'s values before this column's.
    void prepend(const SharedColumn& earlier)
    {
        if (earlier.empty())
            return;
        if (empty()) {
            *this = earlier;
            return;
        }
        Vector& mine = own();
        mine.insert(mine.begin(), earlier.begin(), earlier.end());
    }
    /// Empties the column and lets its memory go (as far as no copy shares it).
    void clear()
    {
        items.reset();
        shared = false;
    }

    friend bool operator==(const SharedColumn& a, const SharedColumn& b)
    {
        return std::equal(a.begin(), a.end(), b.begin(), b.end());
    }

private:
    Vector& own()
    {
        if (!items)
            items = std::make_shared<Vector>();
        else if (shared) [[unlikely]] {
            if (items.use_count() > 1)
                items = std::make_shared<Vector>(*items);
            shared = false;
        }
        return *items;
    }

    std::shared_ptr<Vector> items;
    // Set once the values have been shared; cleared by the first change,
    // which copies them if another column still holds them.
    mutable bool shared = false;
};

} // namespace backtrail::engine
