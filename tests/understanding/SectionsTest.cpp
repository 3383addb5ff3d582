// The program runs OpenMP sections on the calling thread (Tesseract's recurrent layers use
// them). A section skipped or run twice would silently garble every text reading.
#include "understanding/TextFinder.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <omp.h>
#include <string>
#include <vector>

namespace {

class Sections : public ::testing::Test {
  protected:
    // As in the program once a recogniser is made: every team is one thread.
    void SetUp() override { omp_set_max_active_levels(0); }
};

TEST_F(Sections, ParallelSectionsRunEachSectionOnceInOrder) {
    std::vector<int> ran;
    const int caller = omp_get_thread_num();
#pragma omp parallel sections
    {
#pragma omp section
        ran.push_back(1);
#pragma omp section
        ran.push_back(2);
#pragma omp section
        ran.push_back(3);
    }
    EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(omp_get_thread_num(), caller);
}

TEST_F(Sections, NestedConstructsKeepTheirOwnCount) {
    std::vector<int> ran;
#pragma omp parallel sections
    {
#pragma omp section
        {
            ran.push_back(1);
#pragma omp parallel sections
            {
#pragma omp section
                ran.push_back(10);
#pragma omp section
                ran.push_back(11);
            }
        }
#pragma omp section
        ran.push_back(2);
    }
    EXPECT_EQ(ran, (std::vector<int>{1, 10, 11, 2}));
}

TEST_F(Sections, SectionsInsideAParallelRegionRunOnce) {
    std::vector<int> ran;
#pragma omp parallel
    {
#pragma omp sections
        {
#pragma omp section
            ran.push_back(1);
#pragma omp section
            ran.push_back(2);
        }
#pragma omp sections nowait
        {
#pragma omp section
            ran.push_back(3);
        }
    }
    EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));
}

// Tesseract, a shared library, must be bound to the program's sections and not libgomp's.
TEST_F(Sections, TheProgramsEntryPointsAreTheOnesLibrariesSee) {
    for (const char* name : {"GOMP_parallel_sections", "GOMP_sections_start", "GOMP_sections_next",
                             "GOMP_sections_end", "GOMP_sections_end_nowait"}) {
        void* found = dlsym(RTLD_DEFAULT, name);
        ASSERT_NE(found, nullptr) << name;
        Dl_info info{};
        ASSERT_NE(dladdr(found, &info), 0) << name;
        EXPECT_EQ(std::string(info.dli_fname).find("libgomp"), std::string::npos)
            << name << " in " << info.dli_fname;
    }
}

} // namespace
