// Named shared memory of 256 bytes between processes (共有保存, 共有読込), as POSIX
// shared memory objects "/porukana.<user id>.<name>", the name written in hex, or
// hashed when it is long, so that any script name is a valid object name.
//
// A block lives while some run-time that stored into it lives: every storing
// process keeps the block open and holds a shared flock on it until it ends; the
// last one to go (it gets the exclusive lock without waiting) removes the name.
// Reading never creates a block. A block that another user owns, or that others may
// open, is never used: storing into it fails and reading finds nothing.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

constexpr size_t kSharedBlockSize = 256;

// The object name for a script's block name.
std::string SharedObjectName(std::string_view name);

// The blocks this process stored into (kept in the interpreter state); releasing
// the object closes them and removes those no other process holds.
class TSharedBlocks {
public:
    TSharedBlocks() = default;
    ~TSharedBlocks();
    TSharedBlocks(const TSharedBlocks&) = delete;
    TSharedBlocks& operator=(const TSharedBlocks&) = delete;

    // Opens (creating when needed) the block and writes the first 256 bytes of
    // `bytes`, padded with zero bytes. False when the block cannot be opened.
    bool Store(std::string_view name, std::string_view bytes);
    // Closes every block, removing the ones no other process holds.
    void ReleaseAll();

private:
    struct THeld {
        std::string Object;
        int Fd;
    };
    std::vector<THeld> held_;
};

// The block's bytes up to the first zero byte; false when there is no such block
// or it cannot be read.
bool ReadSharedBlock(std::string_view name, std::string& out);
