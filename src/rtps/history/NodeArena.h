#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <vector>

namespace RTPS {

// Keeps the freed nodes of a history's indexes for the next ones of the same size, so that a
// history that stays about as long as it is allocates nothing per change. At most KEPT_PER_SIZE
// nodes of a size wait; the rest go back to the heap, and so does everything kept when the arena
// goes. Not thread-safe: its owner calls it under one mutex.
class NodeArena {
public:
    static constexpr size_t KEPT_PER_SIZE = 1024;

    NodeArena() = default;
    ~NodeArena() {
        for (Shelf& shelf : m_shelves) {
            for (void* p : shelf.free) {
                ::operator delete(p);
            }
        }
    }

    NodeArena(NodeArena const&) = delete;
    NodeArena& operator=(NodeArena const&) = delete;

    // A block of `size` bytes, aligned as operator new aligns; std::bad_alloc as it throws.
    void* take(size_t size) {
        Shelf& shelf = shelfOf(size);
        if (shelf.free.empty()) {
            return ::operator new(size);
        }
        void* p = shelf.free.back();
        shelf.free.pop_back();
        return p;
    }

    // Gives back a block take(size) handed out.
    void give(void* p, size_t size) {
        Shelf& shelf = shelfOf(size);
        if (shelf.free.size() >= KEPT_PER_SIZE) {
            ::operator delete(p);
            return;
        }
        shelf.free.push_back(p);
    }

private:
    struct Shelf {
        size_t size;
        std::vector<void*> free;
    };

    // One shelf per node size; a history's indexes use a handful.
    Shelf& shelfOf(size_t size) {
        for (Shelf& shelf : m_shelves) {
            if (shelf.size == size) {
                return shelf;
            }
        }
        m_shelves.push_back(Shelf{size, {}});
        // Room for all it may keep: giving a block back never allocates.
        m_shelves.back().free.reserve(KEPT_PER_SIZE);
        return m_shelves.back();
    }

    std::vector<Shelf> m_shelves;
};

// A container allocator that takes single nodes from a NodeArena; arrays (hash buckets) come
// from the heap. Copies share the arena, which must outlive every container that uses it.
template <class T>
class ArenaAllocator {
public:
    using value_type = T;

    explicit ArenaAllocator(NodeArena* arena) noexcept : m_arena(arena) {}
    template <class U>
    ArenaAllocator(ArenaAllocator<U> const& other) noexcept : m_arena(other.arena()) {}

    T* allocate(size_t n) {
        if (n == 1) {
            return static_cast<T*>(m_arena->take(sizeof(T)));
        }
        return std::allocator<T>().allocate(n);
    }
    void deallocate(T* p, size_t n) noexcept {
        if (n == 1) {
            m_arena->give(p, sizeof(T));
        } else {
            std::allocator<T>().deallocate(p, n);
        }
    }

    NodeArena* arena() const noexcept { return m_arena; }

    template <class U>
    bool operator==(ArenaAllocator<U> const& other) const noexcept {
        return m_arena == other.arena();
    }
    template <class U>
    bool operator!=(ArenaAllocator<U> const& other) const noexcept {
        return m_arena != other.arena();
    }

private:
    NodeArena* m_arena;
};

}  // namespace RTPS
