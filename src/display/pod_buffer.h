#pragma once

#include <cstddef>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

namespace kestrin {

namespace pod_block {
// Big blocks are mapped pages that grow by remapping; small ones come from malloc.
// Both return nullptr when memory runs out.
void* grow(void* block, std::size_t capacityBytes, std::size_t usedBytes, std::size_t newBytes);
void release(void* block, std::size_t capacityBytes);
}  // namespace pod_block

// A growable array of plain values kept in one malloc block.
//
// Unlike std::string or std::vector a big buffer grows by remapping its pages
// instead of copying them: a console holding hundreds of megabytes keeps
// appending at the same cost, and capacity that was reserved but never
// written costs no resident memory.
template <typename T>
class PodBuffer {
    static_assert(std::is_trivially_copyable_v<T>);

  public:
    PodBuffer() = default;
    PodBuffer(const PodBuffer&) = delete;
    PodBuffer& operator=(const PodBuffer&) = delete;
    PodBuffer(PodBuffer&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)),
          size_(std::exchange(other.size_, 0)),
          capacity_(std::exchange(other.capacity_, 0)) {}
    PodBuffer& operator=(PodBuffer&& other) noexcept {
        if (this != &other) {
            release();
            data_ = std::exchange(other.data_, nullptr);
            size_ = std::exchange(other.size_, 0);
            capacity_ = std::exchange(other.capacity_, 0);
        }
        return *this;
    }
    ~PodBuffer() { release(); }

    const T* data() const { return data_; }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    const T& operator[](std::size_t i) const { return data_[i]; }
    const T& back() const { return data_[size_ - 1]; }

    void push_back(const T& value) {
        if (size_ == capacity_) grow(size_ + 1);
        data_[size_++] = value;
    }

    void append(const T* values, std::size_t count) {
        if (count == 0) return;
        if (count > capacity_ - size_) grow(size_ + count);
        std::memcpy(data_ + size_, values, count * sizeof(T));
        size_ += count;
    }

    // Empties the buffer and hands its memory back.
    void release() {
        pod_block::release(data_, capacity_ * sizeof(T));
        data_ = nullptr;
        size_ = capacity_ = 0;
    }

  private:
    void grow(std::size_t needed) {
        constexpr std::size_t kMaxCount = static_cast<std::size_t>(-1) / sizeof(T);
        if (needed > kMaxCount || needed < size_) throw std::bad_alloc();
        std::size_t next = capacity_ < 64 ? 64 : capacity_ + capacity_ / 2;
        if (next < capacity_ || next > kMaxCount) next = kMaxCount;
        if (next < needed) next = needed;
        void* grown =
            pod_block::grow(data_, capacity_ * sizeof(T), size_ * sizeof(T), next * sizeof(T));
        if (grown == nullptr) throw std::bad_alloc();
        data_ = static_cast<T*>(grown);
        capacity_ = next;
    }

    T* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

}  // namespace kestrin
