// Support library: the owning pointer, the levelled log output and the
// string and file helpers.
#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>

#include "MorvelUtil.h"
#include "fixture.h"

using MorvelUtil::LogOutput;
using MorvelUtil::SmartPointer;

namespace {

// Counts destructor runs, so a test can tell which form of delete freed it.
struct Counted {
    static int destroyed;
    ~Counted() { ++destroyed; }
};
int Counted::destroyed = 0;

class SmartPointerTest : public ::testing::Test {
protected:
    void SetUp() override { Counted::destroyed = 0; }
};

TEST_F(SmartPointerTest, SingleHolderRunsTheDestructorOnceWhenItEnds)
{
    {
        SmartPointer<Counted, false> holder(new Counted);
        EXPECT_FALSE(holder.isNull());
        EXPECT_EQ(0, Counted::destroyed);
    }
    EXPECT_EQ(1, Counted::destroyed);
}

TEST_F(SmartPointerTest, ArrayHolderFreesEveryElement)
{
    {
        SmartPointer<Counted, true> holder(new Counted[3]);
    }
    EXPECT_EQ(3, Counted::destroyed);
}

TEST_F(SmartPointerTest, AssigningFreesThePreviousObject)
{
    SmartPointer<Counted, false> holder(new Counted);
    Counted* second = new Counted;
    holder = second;
    EXPECT_EQ(1, Counted::destroyed);
    EXPECT_TRUE(holder == second);
    EXPECT_EQ(second, holder.get());

    holder = nullptr;
    EXPECT_EQ(2, Counted::destroyed);
    EXPECT_TRUE(holder.isNull());
}

TEST_F(SmartPointerTest, AssigningToAnArrayHolderFreesTheWholeOldArray)
{
    SmartPointer<Counted, true> holder(new Counted[2]);
    holder = new Counted[4];
    EXPECT_EQ(2, Counted::destroyed);
    holder = nullptr;
    EXPECT_EQ(6, Counted::destroyed);
}

TEST_F(SmartPointerTest, ReleaseControlHandsOverWithoutFreeing)
{
    Counted* released = nullptr;
    {
        SmartPointer<Counted, false> holder(new Counted);
        released = holder.releaseControl();
        EXPECT_TRUE(holder.isNull());
    }
    EXPECT_EQ(0, Counted::destroyed);
    delete released;
    EXPECT_EQ(1, Counted::destroyed);

    SmartPointer<Counted, false> empty;
    EXPECT_EQ(nullptr, empty.releaseControl());
}

TEST_F(SmartPointerTest, AccessorsReachTheHeldObject)
{
    struct Pair {
        int first;
        int second;
    };
    SmartPointer<Pair, false> pair(new Pair{1, 2});
    EXPECT_EQ(2, pair->second);
    (*pair).first = 7;
    const SmartPointer<Pair, false>& constPair = pair;
    EXPECT_EQ(7, constPair->first);
    EXPECT_EQ(7, constPair.get()->first);

    SmartPointer<int, true> numbers(new int[3]{4, 5, 6});
    numbers[1] = 50; // indexed through the conversion to a raw pointer
    const int* raw = numbers;
    EXPECT_EQ(50, raw[1]);
    SmartPointer<int, true> empty;
    EXPECT_TRUE(empty.isNull());
    EXPECT_TRUE(empty == nullptr);
}

// LogOutput's state is process-wide and cannot be reset, so a fresh process is
// the only place to see it before anything is set. This runs in a child that
// re-executes the test binary, and reports through its exit status.
void checkFreshLogOutput()
{
    std::ostream& nullStream = LogOutput::log(0);
    bool ok = dynamic_cast<MorvelUtil::nullBuf*>(nullStream.rdbuf()) != nullptr;
    ok = ok && &LogOutput::log(1) == &nullStream;

    // An enabled level with no output stream set is dropped, not a crash.
    LogOutput::enableLevel(0);
    ok = ok && &LogOutput::log(0) == &nullStream;
    LogOutput::log(0) << "dropped" << std::endl;

    std::ostringstream out;
    LogOutput::setOutputStream(out);
    ok = ok && &LogOutput::log(0) == &out;
    LogOutput::log(0) << "kept" << std::endl;
    ok = ok && out.str() == "kept\n";
    std::exit(ok ? 0 : 1);
}

TEST(LogOutputTest, FreshProcessDropsEverythingUntilAStreamIsSet)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(checkFreshLogOutput(), ::testing::ExitedWithCode(0), "");
}

TEST(LogOutputTest, OnlyEnabledLevelsReachTheStream)
{
    std::ostringstream out;
    LogOutput::setOutputStream(out);
    LogOutput::enableLevel(0);
    LogOutput::enableLevel(3);
    LogOutput::enableLevel(3); // twice changes nothing

    EXPECT_EQ(&out, &LogOutput::log(0));
    EXPECT_EQ(&out, &LogOutput::log(3));
    for (int level : {1, 2, 4, 5, 1000, -1}) {
        SCOPED_TRACE(level);
        EXPECT_NE(&out, &LogOutput::log(level));
        EXPECT_NE(nullptr, dynamic_cast<MorvelUtil::nullBuf*>(LogOutput::log(level).rdbuf()));
    }

    LogOutput::log(0) << "a " << 12 << std::endl;
    LogOutput::log(1) << "dropped" << std::endl;
    LogOutput::log(-1) << "dropped too" << std::endl;
    LogOutput::log(3) << "b" << std::endl;
    EXPECT_EQ("a 12\nb\n", out.str());
    LogOutput::setOutputStream(std::cout);
}

TEST(LogOutputTest, NegativeLevelIsNeverEnabled)
{
    std::ostringstream out;
    LogOutput::setOutputStream(out);
    LogOutput::enableLevel(-1);
    EXPECT_NE(&out, &LogOutput::log(-1));
    LogOutput::setOutputStream(std::cout);
}

TEST(CaseFunctionsTest, ConvertChangesTheArgumentAndReturnsIt)
{
    std::string name = "Map.SAV";
    EXPECT_EQ("map.sav", MorvelUtil::convert_to_lower(name));
    EXPECT_EQ("map.sav", name);
    EXPECT_EQ("MAP.SAV", MorvelUtil::convert_to_upper(name));
    EXPECT_EQ("MAP.SAV", name);
}

TEST(CaseFunctionsTest, CopyLeavesTheArgumentAlone)
{
    const std::string name = "Map.SAV";
    EXPECT_EQ("map.sav", MorvelUtil::copy_to_lower(name));
    EXPECT_EQ("MAP.SAV", MorvelUtil::copy_to_upper(name));
    EXPECT_EQ("Map.SAV", name);
}

TEST(CaseFunctionsTest, OnlyAsciiLettersChangeCase)
{
    // Every byte but the 52 letters, including 0x80 to 0xFF and NUL.
    std::string others;
    for (int byte = 0; byte < 256; ++byte)
        if (!((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z')))
            others.push_back(static_cast<char>(byte));
    ASSERT_EQ(256u - 52u, others.size());

    std::string converted = others;
    MorvelUtil::convert_to_lower(converted);
    EXPECT_EQ(others, converted);
    MorvelUtil::convert_to_upper(converted);
    EXPECT_EQ(others, converted);
    EXPECT_EQ(others, MorvelUtil::copy_to_lower(others));
    EXPECT_EQ(others, MorvelUtil::copy_to_upper(others));

    EXPECT_EQ("abcxyz\xc4\xe4", MorvelUtil::copy_to_lower("ABCXYZ\xc4\xe4"));
    EXPECT_EQ("ABCXYZ\xc4\xe4", MorvelUtil::copy_to_upper("abcxyz\xc4\xe4"));
    EXPECT_EQ("", MorvelUtil::copy_to_lower(""));
    std::string empty;
    EXPECT_EQ("", MorvelUtil::convert_to_upper(empty));
}

TEST(FileExistsTest, TrueForAReadableFileOnly)
{
    fixture::TempDir dir;
    const std::string present = dir.path("present.sav");
    fixture::writeFile(present, {1, 2, 3});
    const std::string empty = dir.path("empty.mp");
    fixture::writeFile(empty, {});

    EXPECT_TRUE(MorvelUtil::fileExists(present));
    EXPECT_TRUE(MorvelUtil::fileExists(empty));
    EXPECT_FALSE(MorvelUtil::fileExists(dir.path("missing.sav")));
    EXPECT_FALSE(MorvelUtil::fileExists(dir.path("no/such/dir/file")));
    EXPECT_FALSE(MorvelUtil::fileExists(""));
}

} // namespace
