// The cache of unpacked run-time bundles: a bundled program unpacks its run-time
// once per version into a private folder of the user's cache,
//   $XDG_CACHE_HOME/porukana/bundles/KEY/   (or ~/.cache/porukana/bundles/KEY/)
// instead of into a temporary folder on every start. KEY is the checksum and the
// size of the bundle entry ("1a2b3c4d-12345678"), so another version never reuses
// a folder. Every folder is mode 0700 and owned by the user; a version is unpacked
// into a fresh folder beside the others, marked complete, and only then renamed to
// its key, so a folder with a key name is always whole. Each start marks its
// version as used; unpacking a new version removes those unused for a month.
// Plain C++ and zlib.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

// The entry beside the bundle that holds its key, written by the packer.
constexpr const char* kBundleKeyEntry = "porukana.bundle.key";

// "crc32-size", crc32 in 8 lower-case hex digits.
std::string BundleKey(uint32_t crc, uint64_t size);
// The checksum of bytes [offset, offset + size) of a file; false when unreadable.
bool FileCrc32(const std::string& file, uint64_t offset, uint64_t size, uint32_t& crc);

// The cache folder of the bundles (ending in "/"), from XDG_CACHE_HOME (absolute)
// or HOME; "" when neither gives one.
std::string BundleCacheRoot();
// A directory (not a link) owned by this user that nobody else may use.
bool IsPrivateFolder(const std::string& path);
// Makes `path` (ending in "/") with its missing parents, mode 0700; true when it
// ends up a private folder inside a folder of this user that others cannot write.
bool MakePrivateFolders(const std::string& path);
// Removes a folder and what it holds, without following links.
void RemoveBundleTree(const std::string& path);

// Removes the versions under `root` other than `keep` that were last used (or,
// without a mark, begun) more than `olderThanSeconds` ago.
void PruneBundles(const std::string& root, const std::string& keep, int64_t olderThanSeconds);
// How long a version may go unused before the unpacking of another removes it.
constexpr int64_t kUnusedSeconds = 30 * 24 * 3600;

// The folder (ending in "/") holding the bundle `key` under the cache folder
// `root`, unpacked by `unpack` (into the folder it is given, ending in "/") when it
// is not there yet. "" when the cache cannot be used; `error` then says why (UTF-8).
std::string CachedBundle(const std::string& root, const std::string& key,
                         const std::function<bool(const std::string& dir, std::string& error)>& unpack,
                         std::string& error);
