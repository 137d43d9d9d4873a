#include "zip_test_util.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

#include <unistd.h>

namespace ost::zip::test {

std::vector<uint8_t> Inflate(const uint8_t* data, size_t size, size_t expected) {
    std::vector<uint8_t> out(expected + 1);
    z_stream z{};
    inflateInit2(&z, -MAX_WBITS);
    z.next_in = const_cast<uint8_t*>(data);
    z.avail_in = static_cast<uInt>(size);
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(inflate(&z, Z_FINISH), Z_STREAM_END);
    EXPECT_EQ(z.avail_in, 0u) << "bytes after the final block";
    out.resize(z.total_out);
    inflateEnd(&z);
    return out;
}

ReadBack ReadArchive(const std::vector<uint8_t>& archive) {
    ReadBack out;
    MemorySource source(archive);
    const ArchiveDirectory dir = ReadArchiveDirectory(source, "test archive");
    RequireWholeArchive(dir, "test archive");
    for (const ArchiveEntry& e : dir.entries) {
        const EntryHeader& h = e.header;
        out.headers[h.name] = h;
        if (h.name.back() == '/')
            continue;
        const uint8_t* data = archive.data() + e.dataOffset;
        std::vector<uint8_t> bytes(data, data + h.compressedSize);
        if (h.method != kMethodStored) {
            EXPECT_EQ(h.method, kMethodDeflated) << h.name;
            bytes = Inflate(data, h.compressedSize, h.size);
        }
        EXPECT_EQ(bytes.size(), h.size) << h.name;
        EXPECT_EQ(crc32(0, bytes.data(), static_cast<uInt>(bytes.size())), h.crc) << h.name;
        out.files[h.name] = std::move(bytes);
    }
    return out;
}

std::vector<uint8_t> RegistryLikeText(size_t bytes, uint32_t seed) {
    std::mt19937 random(seed);
    std::string text = "Windows Registry Editor Version 5.00\r\n\r\n";
    while (text.size() * 2 < bytes) {
        char lines[200];
        std::snprintf(lines, sizeof(lines),
                      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{%08X}]\r\n\"DisplayName\"=\"Pebblework %u\"\r\n"
                      "\"Version\"=dword:%08x\r\n\r\n",
                      static_cast<unsigned>(random() % 5000), static_cast<unsigned>(random() % 3000),
                      static_cast<unsigned>(random() % 70000));
        text += lines;
    }
    std::vector<uint8_t> out{0xFF, 0xFE};
    for (const char c : text)
        out.insert(out.end(), {static_cast<uint8_t>(c), 0});
    out.resize(bytes & ~size_t{1});
    return out;
}

std::vector<uint8_t> RandomBytes(size_t bytes, uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<uint8_t> out(bytes);
    for (uint8_t& b : out)
        b = static_cast<uint8_t>(random());
    return out;
}

std::vector<uint8_t> Bytes(const std::string& text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

// Paths are UTF-8 on every system.
static std::filesystem::path Utf8Path(const std::string& path) {
    return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::filesystem::create_directories(Utf8Path(path).parent_path());
    std::ofstream out(Utf8Path(path), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(Utf8Path(path), std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string ScratchFolder(const std::string& name, const std::string& base) {
    // One folder per test process, so that runs in other work trees never meet; removed at exit.
    static const std::string& temporary = *new std::string(
        (std::filesystem::temp_directory_path() / ("ost-ziplib-" + std::to_string(::getpid()))).string());
    static const int removed = std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(temporary, ignored);
    });
    (void)removed;
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::filesystem::path folder =
        (base.empty() ? temporary : base) + "/" + info->test_suite_name() + "." + info->name() + "/" + name;
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder.make_preferred().string();
}

std::string CheckWithReaders(const std::string& archive, bool testOnly) {
    std::string output;
#ifdef OST_CHECK_ARCHIVES
    const std::string command =
        std::string("python3 '" OST_CHECK_ARCHIVES "' ") + (testOnly ? "--test-only '" : "'") + archive + "' 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    char buffer[4096];
    while (size_t n = pipe ? std::fread(buffer, 1, sizeof(buffer), pipe) : 0)
        output.append(buffer, n);
    if (pipe && ::pclose(pipe) == 0)
        output.clear();
    else
        output += "\n(check_archives.py failed)";
#else
    (void)archive, (void)testOnly;
#endif
    return output;
}

}  // namespace ost::zip::test
