// Replays kept fuzzing inputs through the fuzz target's check, without libFuzzer, so that
// every build (the Windows one under Wine, with its own Expat) runs them as a test.
//
//   settings_reader_replay FILE...
//
// Exit status 0 when every file was read and passed; a finding aborts.
#include <cstdint>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/settings_reader_check.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: settings_reader_replay FILE...\n";
        return 2;
    }
    for (int i = 1; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        const std::vector<std::uint8_t> data{std::istreambuf_iterator<char>(in),
                                             std::istreambuf_iterator<char>()};
        if (!in.is_open() || in.bad()) {
            std::cerr << argv[i] << ": cannot be read\n";
            return 1;
        }
        check_settings_input(argv[i], data.data(), data.size());
    }
    std::cout << "replayed " << argc - 1 << " input(s)\n";
    return 0;
}
