// The growable sequence that crosses the export boundary: a tag byte with no content, then
// pointers to the first element, one past the last and the end of the reserved storage. Hosts read
// it in place, so it is a plain aggregate: no constructor, no destructor, constant-initialisable,
// and whoever owns one calls release() when done with it.
//
// Elements are copied in with SequenceTraits<T>::copy and destroyed with
// SequenceTraits<T>::destroy; the default copies bytes and destroys nothing, which is right for the
// pointer-free records. Every element type is trivially copyable, so when the storage grows the
// elements are relocated bytewise: an element that owns storage takes it along.
#pragma once

#include <cstddef>
#include <cstring>
#include <new>
#include <type_traits>

namespace varnel {

template <class T>
struct SequenceTraits {
    static void copy(T* to, const T& from) { new (to) T(from); }
    static void destroy(T&) noexcept {}
};

template <class T>
struct Sequence {
    static_assert(std::is_trivially_copyable_v<T>, "elements are relocated bytewise");

    unsigned char allocatorTag;  // no content; keeps the three pointers where hosts expect them
    T* first;
    T* last;
    T* endOfStorage;

    [[nodiscard]] std::size_t size() const noexcept {
        return first == nullptr ? 0 : static_cast<std::size_t>(last - first);
    }
    [[nodiscard]] std::size_t capacity() const noexcept {
        return first == nullptr ? 0 : static_cast<std::size_t>(endOfStorage - first);
    }
    T* begin() const noexcept { return first; }
    T* end() const noexcept { return first == nullptr ? nullptr : last; }
    T& operator[](std::size_t i) const noexcept { return first[i]; }

    // Appends a copy of value. When full, the capacity doubles (from 1) and every element is
    // relocated into the new storage. Throws std::bad_alloc with the elements unchanged.
    void append(const T& value) {
        if (first == nullptr || last == endOfStorage) grow(capacity() == 0 ? 1 : 2 * capacity());
        Traits::copy(last, value);
        ++last;
    }

    // The capacity that `more` single appends would grow the sequence to.
    [[nodiscard]] std::size_t grownCapacity(std::size_t more) const noexcept {
        std::size_t cap = capacity();
        if (size() + more <= cap) return cap;
        if (cap == 0) cap = 1;
        while (cap < size() + more) cap *= 2;
        return cap;
    }

    // Relocates the elements into `storage` (from ::operator new, room for `newCapacity` of them,
    // at least size()), which the sequence owns from then on; the old storage is freed.
    void moveTo(T* storage, std::size_t newCapacity) noexcept {
        const std::size_t n = size();
        if (n > 0) std::memcpy(static_cast<void*>(storage), first, n * sizeof(T));
        ::operator delete(first);
        first = storage;
        last = storage + n;
        endOfStorage = storage + newCapacity;
    }

    // Reserves storage for exactly n elements when the sequence has never held storage.
    void reserveExact(std::size_t n) {
        if (first == nullptr && n > 0) grow(n);
    }

    // Removes elements from index n on; storage stays reserved.
    void truncate(std::size_t n) noexcept {
        while (size() > n) {
            --last;
            Traits::destroy(*last);
        }
    }

    // Removes every element; storage stays reserved.
    void clear() noexcept { truncate(0); }

    // Removes every element and gives back the storage: all three pointers become null.
    void release() noexcept {
        clear();
        ::operator delete(first);
        first = last = endOfStorage = nullptr;
    }

  private:
    using Traits = SequenceTraits<T>;

    void grow(std::size_t newCapacity) {
        moveTo(static_cast<T*>(::operator new(newCapacity * sizeof(T))), newCapacity);
    }
};

static_assert(std::is_standard_layout_v<Sequence<int>>);
static_assert(std::is_trivially_copyable_v<Sequence<int>>);

}  // namespace varnel
