// The numbered lines that the tests' writers write to both standard streams, "out T I" and
// "err T I" (writer T's line I, possibly padded with " ..."), read back from the log files
// to tell whether any was lost, doubled, reordered or split.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace orvo_test {

struct numbered_lines {
    std::map<std::string, std::vector<long>> numbers; // by "out T"
    std::vector<std::string> others;                  // every other line, without its end
    std::vector<std::string> unended;                 // files whose last line has no end

    // The lines of one file, whose name is `file`, in order; a line end is LF or CR LF.
    void add(const std::string& text, const std::string& file = std::string()) {
        if (!text.empty() && text.back() != '\n') {
            unended.push_back(file);
        }
        std::string::size_type begin = 0;
        while (begin < text.size()) {
            std::string::size_type end = text.find('\n', begin);
            end = end == std::string::npos ? text.size() : end;
            std::string line = text.substr(begin, end - begin);
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            take(line);
            begin = end + 1;
        }
    }

    // Every writer's numbers count from 0 by one: nothing lost, doubled or out of order,
    // and no line split between two files.
    void expect_counted_from_zero(std::size_t writers, long each = -1) const {
        EXPECT_EQ(numbers.size(), writers);
        for (const auto& [writer, counted] : numbers) {
            bool in_order =
                !counted.empty() && (each < 0 || counted.size() == static_cast<std::size_t>(each));
            for (std::size_t i = 0; in_order && i < counted.size(); ++i) {
                in_order = counted[i] == static_cast<long>(i);
            }
            EXPECT_TRUE(in_order) << writer << ": a line lost, doubled or out of order among "
                                  << counted.size();
        }
        EXPECT_EQ(unended, std::vector<std::string>{}) << "a line split between two files";
    }

    // Every writer's numbers count on by one from wherever they begin (the oldest files
    // deleted): nothing lost, doubled or out of order since; with `last`, each ends there.
    void expect_counted_on(long last = -1) const {
        for (const auto& [writer, counted] : numbers) {
            if (last >= 0) {
                EXPECT_EQ(counted.back(), last) << writer;
            }
            for (std::size_t i = 1; i < counted.size(); ++i) {
                ASSERT_EQ(counted[i], counted[i - 1] + 1) << writer;
            }
        }
    }

  private:
    void take(const std::string& line) {
        const bool stream = line.rfind("out ", 0) == 0 || line.rfind("err ", 0) == 0;
        const std::string::size_type writer_end = stream ? line.find(' ', 4) : std::string::npos;
        if (writer_end != std::string::npos && writer_end > 4) {
            const std::string::size_type number_end = line.find(' ', writer_end + 1);
            const std::string number = line.substr(writer_end + 1, number_end - writer_end - 1);
            const bool padded = number_end == std::string::npos ||
                                line.find_first_not_of('.', number_end + 1) == std::string::npos;
            if (!number.empty() && number.find_first_not_of("0123456789") == std::string::npos &&
                line.find_first_not_of("0123456789", 4) == writer_end && padded) {
                numbers[line.substr(0, writer_end)].push_back(std::stol(number));
                return;
            }
        }
        others.push_back(line);
    }
};

} // namespace orvo_test
