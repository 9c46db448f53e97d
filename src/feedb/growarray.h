#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <span>
#include <sys/mman.h>
#include <type_traits>
#include <utility>

#ifndef MADV_POPULATE_WRITE // C libraries older than the kernels that have it (Linux 5.14)
#define MADV_POPULATE_WRITE 23
#endif

/// A growing array of plain values (the cells of one result column) in one block. A large block
/// is a memory mapping of its own that grows with mremap, which moves the pages instead of copying
/// them: growing a column of millions of cells neither copies it nor holds it twice at the moment
/// of growth, and only the pages written (and up to 256 KiB ahead of them) are resident. (realloc
/// would do the same only while the C library maps such blocks; once large blocks have been freed
/// it keeps them on its heap and copies.) Small blocks live on the heap; blocks of 2 MiB and more
/// ask for huge pages. Freed whole by clear().
///
/// A block below 2 MiB stays on small pages whatever it holds: a column or a text table of a
/// result of a million rows fits there, and rounding each of them up to a huge page would cost
/// up to 1.75 MiB apiece (with the grid's own 8 bytes a row, a third of what a view of a million
/// rows costs). The page faults are few all the same: mapped blocks are made resident 256 KiB
/// at a time.
template <typename T> class GrowArray {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    GrowArray() = default;
    GrowArray(const GrowArray&) = delete;
    GrowArray& operator=(const GrowArray&) = delete;
    GrowArray(GrowArray&& other) noexcept { swap(other); }
    GrowArray& operator=(GrowArray&& other) noexcept {
        GrowArray(std::move(other)).swap(*this);
        return *this;
    }
    ~GrowArray() { release(); }

    void push_back(T value) {
        if (m_size == m_ready)
            makeRoom(1);
        m_data[m_size++] = value;
    }
    /// Room for n more values at the end, to be written there and then committed (grown).
    T* reserveMore(size_t n) {
        if (m_ready - m_size < n)
            makeRoom(n);
        return m_data + m_size;
    }
    void grown(size_t n) { m_size += n; }
    const T& operator[](size_t i) const { return m_data[i]; }
    T& operator[](size_t i) { return m_data[i]; }
    size_t size() const { return m_size; }
    const T* data() const { return m_data; }
    const T* begin() const { return m_data; }
    const T* end() const { return m_data + m_size; }
    operator std::span<const T>() const { return {m_data, m_size}; }

    void clear() { GrowArray().swap(*this); }
    /// Drops the values but keeps the block, to be filled again.
    void clearKeepingBlock() { m_size = 0; }
    void swap(GrowArray& other) noexcept {
        std::swap(m_data, other.m_data);
        std::swap(m_size, other.m_size);
        std::swap(m_capacity, other.m_capacity);
        std::swap(m_ready, other.m_ready);
    }

private:
    static constexpr size_t kMappedBytes = 256 * 1024;
    static bool mapped(size_t capacity) { return capacity * sizeof(T) >= kMappedBytes; }
    static constexpr size_t kHugeBytes = 2 * 1024 * 1024;
    static bool huge(size_t capacity) { return capacity * sizeof(T) >= kHugeBytes; }
    /// A mapped block is made resident this much at a time, ahead of the values written: one
    /// call instead of a page fault for every 4 KiB, which costs far more than the write itself.
    static constexpr size_t kReadyBytes = 256 * 1024;
    static constexpr size_t kPage = 4096;

    void makeRoom(size_t n) {
        while (m_capacity - m_size < n)
            grow();
        if (!mapped(m_capacity)) {
            m_ready = m_capacity;
            return;
        }
        const size_t want =
            std::min(m_capacity, std::max(m_size + n, m_ready + kReadyBytes / sizeof(T)));
        const size_t from = m_ready * sizeof(T) / kPage * kPage;
        const size_t to = (want * sizeof(T) + kPage - 1) / kPage * kPage;
        // Best effort: where the kernel cannot, the pages fault in as they are written.
        madvise(reinterpret_cast<char*>(m_data) + from, std::min(to, m_capacity * sizeof(T)) - from,
                MADV_POPULATE_WRITE);
        m_ready = want;
    }

    void grow() {
        size_t capacity = m_capacity == 0 ? 256 : m_capacity * 2;
        const size_t bytes = capacity * sizeof(T);
        void* data = nullptr;
        if (!mapped(capacity)) {
            data = std::realloc(m_data, bytes);
        } else if (huge(capacity)) {
            data = growHuge(bytes);
        } else if (mapped(m_capacity)) {
            data = mremap(m_data, m_capacity * sizeof(T), bytes, MREMAP_MAYMOVE);
            data = data == MAP_FAILED ? nullptr : data;
        } else {
            data = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
            data = data == MAP_FAILED ? nullptr : data;
            if (data && m_size > 0)
                std::memcpy(data, m_data, m_size * sizeof(T));
            if (data)
                std::free(m_data);
            m_ready = m_size; // the heap block's values are copied in; the rest is not resident
        }
        if (!data)
            throw std::bad_alloc();
        m_data = static_cast<T*>(data);
        m_capacity = capacity;
    }

    /// A block of 2 MiB or more starts on a 2 MiB boundary and asks for huge pages: where the
    /// system has them, the first write to each 2 MiB costs one page fault instead of 512, and a
    /// fault is slow (on a virtual machine it can cost more than writing the whole page). Such a
    /// block moves on growth to a new boundary without a copy; a smaller one is copied there.
    void* growHuge(size_t bytes) {
        const size_t oldBytes = m_capacity * sizeof(T);
        const size_t spare = bytes + kHugeBytes;
        void* reserved =
            mmap(nullptr, spare, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (reserved == MAP_FAILED)
            return nullptr;
        char* const first = static_cast<char*>(reserved);
        char* const start =
            first +
            (kHugeBytes - reinterpret_cast<std::uintptr_t>(first) % kHugeBytes) % kHugeBytes;
        void* data = MAP_FAILED;
        if (huge(m_capacity)) {
            data = mremap(m_data, oldBytes, bytes, MREMAP_MAYMOVE | MREMAP_FIXED, start);
        } else {
            data = mmap(start, bytes, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
            if (data != MAP_FAILED) {
                madvise(data, bytes, MADV_HUGEPAGE); // before the copy writes its first pages
                if (m_size > 0)
                    std::memcpy(data, m_data, m_size * sizeof(T));
                release();
                m_ready = m_size; // the rest of the new block is not resident yet
            }
        }
        if (data == MAP_FAILED) {
            munmap(reserved, spare);
            return nullptr;
        }
        madvise(data, bytes, MADV_HUGEPAGE); // best effort: without it the block has small pages
        if (start > first)
            munmap(first, size_t(start - first));
        if (first + spare > start + bytes)
            munmap(start + bytes, size_t(first + spare - (start + bytes)));
        return data;
    }

    void release() {
        if (mapped(m_capacity))
            munmap(m_data, m_capacity * sizeof(T));
        else
            std::free(m_data);
    }

    T* m_data = nullptr;
    size_t m_size = 0;
    size_t m_capacity = 0;
    size_t m_ready = 0; ///< values that fit without a call to makeRoom
};
