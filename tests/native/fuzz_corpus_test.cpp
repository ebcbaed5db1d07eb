// Replays the kept fuzz corpus through the fuzz targets' bodies, so that
// every input that once found new paths keeps being checked. A failed check
// in a body aborts this program with the reason on stderr.
#include "fuzz_targets.h"

#include <gtest/gtest.h>

#include <dirent.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::vector<std::string> CorpusFiles(const std::string& Target) {
    const std::string Folder = std::string(VELMORA_FUZZ_CORPUS) + "/" + Target;
    std::vector<std::string> Files;
    DIR* Listing = opendir(Folder.c_str());
    if (Listing == nullptr) {
        return Files;
    }
    while (const dirent* Entry = readdir(Listing)) {
        if (Entry->d_name[0] != '.') {
            Files.push_back(Folder + "/" + Entry->d_name);
        }
    }
    closedir(Listing);
    return Files;
}

// Runs Body on every file of the target's corpus; returns how many ran.
size_t Replay(const std::string& Target, int (*Body)(const uint8_t*, size_t)) {
    size_t Count = 0;
    for (const std::string& Path : CorpusFiles(Target)) {
        SCOPED_TRACE(Path);
        std::ifstream In(Path, std::ios::binary);
        std::vector<uint8_t> Data((std::istreambuf_iterator<char>(In)), {});
        EXPECT_EQ(Body(Data.data(), Data.size()), 0);
        ++Count;
    }
    return Count;
}

TEST(FuzzCorpus, RldDecodeInputsReplay) {
    EXPECT_GE(Replay("rld_decode", VelmoraFuzz::FuzzRldDecode), 9u);
}

TEST(FuzzCorpus, RldEncodeInputsReplay) {
    EXPECT_GE(Replay("rld_encode", VelmoraFuzz::FuzzRldEncode), 4u);
}

TEST(FuzzCorpus, PayloadInflateInputsReplay) {
    EXPECT_GE(Replay("payload_inflate", VelmoraFuzz::FuzzPayloadInflate), 8u);
}

} // namespace
