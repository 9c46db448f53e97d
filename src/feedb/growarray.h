#pragma once

#include <cstdlib>
#include <cstring>
#include <new>
#include <span>
#include <sys/mman.h>
#include <type_traits>
#include <utility>

/// A growing array of plain values (the cells of one result column) in one block. A large block
/// is a memory mapping of its own that grows with mremap, which moves the pages instead of copying
/// them: growing a column of millions of cells neither copies it nor holds it twice at the moment
/// of growth, and only the pages written are resident. (realloc would do the same only while the
/// C library maps such blocks; once large blocks have been freed it keeps them on its heap and
/// copies.) Small blocks live on the heap. Freed whole by clear().
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
        if (m_size == m_capacity)
            grow();
        m_data[m_size++] = value;
    }
    /// Room for n more values at the end, to be written there and then committed (grown).
    T* reserveMore(size_t n) {
        while (m_capacity - m_size < n)
            grow();
        return m_data + m_size;
    }
    void grown(size_t n) { m_size += n; }
    const T& operator[](size_t i) const { return m_data[i]; }
    T& operator[](size_t i) { return m_data[i]; }
    size_t size() const { return m_size; }
    const T* begin() const { return m_data; }
    const T* end() const { return m_data + m_size; }
    operator std::span<const T>() const { return {m_data, m_size}; }

    void clear() { GrowArray().swap(*this); }
    void swap(GrowArray& other) noexcept {
        std::swap(m_data, other.m_data);
        std::swap(m_size, other.m_size);
        std::swap(m_capacity, other.m_capacity);
    }

private:
    static constexpr size_t kMappedBytes = 256 * 1024;
    static bool mapped(size_t capacity) { return capacity * sizeof(T) >= kMappedBytes; }

    void grow() {
        const size_t capacity = m_capacity == 0 ? 256 : m_capacity * 2;
        const size_t bytes = capacity * sizeof(T);
        void* data = nullptr;
        if (!mapped(capacity)) {
            data = std::realloc(m_data, bytes);
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
        }
        if (!data)
            throw std::bad_alloc();
        m_data = static_cast<T*>(data);
        m_capacity = capacity;
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
};
