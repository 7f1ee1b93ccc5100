#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <memory>
#include <vector>

// A sequence that grows at its end, held in blocks of BlockSize elements. Growing never moves what
// is stored: a list of 100,000 rows grows by one block at a time instead of copying every row
// into an ever larger array, which would hold up the thread for the whole copy.
template <class T, std::size_t BlockSize = 1024> class BlockList {
public:
    std::size_t size() const { return size_; }

    // Element i, for i below size().
    T& operator[](std::size_t i) { return (*blocks_[i / BlockSize])[i % BlockSize]; }
    const T& operator[](std::size_t i) const { return (*blocks_[i / BlockSize])[i % BlockSize]; }

    // Grows to n elements, the new ones default-made; a smaller n changes nothing.
    void growTo(std::size_t n) {
        while (blocks_.size() * BlockSize < n)
            blocks_.push_back(std::make_unique<Block>());
        size_ = std::max(size_, n);
    }

    void append(T value) {
        growTo(size_ + 1);
        (*this)[size_ - 1] = std::move(value);
    }

    // Empties the list and releases its blocks.
    void clear() {
        blocks_.clear();
        blocks_.shrink_to_fit();
        size_ = 0;
    }

private:
    using Block = std::array<T, BlockSize>;

    std::vector<std::unique_ptr<Block>> blocks_;
    std::size_t size_ = 0;
};
