// The order of a folder's names: bytes as unsigned values, whatever the
// length of the folder or of the names' shared beginnings.
#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "name_list.h"

namespace {

std::vector<std::string> Sorted(NameList& list, const std::vector<std::string>& names) {
    list.Clear();
    for (const std::string& name : names) {
        list.Add(name.data(), name.size());
    }
    list.Sort();
    std::vector<std::string> out;
    for (std::size_t i = 0; i < list.Size(); ++i) {
        out.emplace_back(list.At(i));
    }
    return out;
}

// std::string compares its chars as unsigned, the order the list must give.
std::vector<std::string> Expected(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

// Names from a few bytes, so that many share long beginnings, with bytes
// either side of 0x80 where a signed comparison would go wrong.
std::vector<std::string> RandomNames(std::mt19937& random, std::size_t count,
                                     const std::string& stem) {
    const std::string bytes = std::string("aAz0 .") + "\x01\x7f\x80\xe4\xff";
    std::vector<std::string> names;
    std::string name;
    while (names.size() < count) {
        name = stem;
        const std::size_t length = 1 + random() % 20;
        for (std::size_t i = 0; i < length; ++i) {
            name.push_back(bytes[random() % bytes.size()]);
        }
        if (std::find(names.begin(), names.end(), name) == names.end()) {
            names.push_back(name);
        }
    }
    return names;
}

TEST(NameOrder, BytesAreUnsignedAndAPrefixComesFirst) {
    const std::vector<std::string> names = {
        "b",       "abcdefgi",     "abcdefgh\x01", "abcdefgh",
        "abcdefg", "\xe4\xb8\xad", "Zebra",        "abcdefgh\xff",
        "z",       "abcdefghz",
    };
    NameList list;
    EXPECT_EQ(Sorted(list, names),
              (std::vector<std::string>{"Zebra", "abcdefg", "abcdefgh", "abcdefgh\x01", "abcdefghz",
                                        "abcdefgh\xff", "abcdefgi", "b", "z", "\xe4\xb8\xad"}));
}

// Small folders take a comparison sort, wide ones bucket passes that run out
// of prefix bytes when hundreds of names share their first eight.
TEST(NameOrder, FoldersOfEverySizeMatchTheByteOrder) {
    std::mt19937 random(7);
    NameList list;
    for (std::size_t count : {2, 63, 64, 65, 300, 5000}) {
        for (const std::string stem : {"", "abcdefgh", "abc"}) {
            const std::vector<std::string> names = RandomNames(random, count, stem);
            EXPECT_EQ(Sorted(list, names), Expected(names))
                << count << " names on '" << stem << "'";
        }
    }
}

// A cleared list is reused for the next folder: nothing of the last one may
// show, and each name still ends in NUL for the system calls that take it.
TEST(NameOrder, ReusedListHoldsOnlyTheNewNamesEachEndingInNul) {
    std::mt19937 random(11);
    NameList list;
    Sorted(list, RandomNames(random, 2000, ""));
    const std::vector<std::string> names = {"second", "first", "third one"};
    ASSERT_EQ(Sorted(list, names), Expected(names));
    for (std::size_t i = 0; i < list.Size(); ++i) {
        EXPECT_EQ(list.At(i).data()[list.At(i).size()], '\0');
    }
}

}  // namespace
