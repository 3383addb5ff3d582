// The program runs OpenMP sections on the calling thread (Tesseract's recurrent layers use
// them). A section skipped or run twice would silently garble every text reading.
#include "understanding/TextFinder.h"

#include <QImage>

#include <cstdio>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <iterator>
#include <omp.h>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

class Sections : public ::testing::Test {
  protected:
    // As in the program once a recogniser is made: every team is one thread.
    void SetUp() override { omp_set_max_active_levels(0); }
};

// Each section once, in order, on the caller's thread; a nested construct keeps its own count.
TEST_F(Sections, ParallelSectionsRunEachSectionOnceInOrderNestedOnesToo) {
    std::vector<int> ran;
    const int caller = omp_get_thread_num();
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
#pragma omp section
        ran.push_back(3);
    }
    EXPECT_EQ(ran, (std::vector<int>{1, 10, 11, 2, 3}));
    EXPECT_EQ(omp_get_thread_num(), caller);
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

// The GOMP_ functions an ELF shared library imports: its undefined dynamic symbols as nm
// lists them, without their versions. None when nm cannot read the file.
std::optional<std::set<std::string>> openMPImports(const std::string& path) {
    FILE* nm = popen(("nm -D --undefined-only '" + path + "'").c_str(), "r");
    if (!nm) return std::nullopt;
    std::set<std::string> imports;
    char line[1024];
    while (fgets(line, sizeof line, nm)) {
        std::istringstream fields(line);
        std::string kind, name;
        fields >> kind >> name;
        if (kind == "U" && name.rfind("GOMP_", 0) == 0) imports.insert(name.substr(0, name.find('@')));
    }
    if (pclose(nm) != 0) return std::nullopt;
    return imports;
}

// The program replaces libgomp's sections; every other OpenMP entry point Tesseract calls
// goes to libgomp and must be one that works beside the replacement in one-thread teams.
// Another one (a combined parallel-sections start of an older compiler, sections with
// reductions) would start libgomp's own sections and then ask the program's for them: the
// sections would be skipped and every reading silently garbled.
TEST_F(Sections, TesseractImportsOnlyReplacedOrSafeOpenMPEntryPoints) {
    // Uses the recogniser, so that the library is linked and loaded.
    ASSERT_TRUE(ombrel::TextFinder::readWhole(QImage()).isEmpty());
    Dl_info info{};
    const void* recogniser = dlsym(RTLD_DEFAULT, "TessBaseAPICreate");
    ASSERT_TRUE(recogniser && dladdr(recogniser, &info)) << "libtesseract is not loaded";
    const std::string library = info.dli_fname;
    const std::optional<std::set<std::string>> imports = openMPImports(library);
    ASSERT_TRUE(imports) << "cannot read the dynamic symbols of " << library;
    // The replaced sections, then teams, loops and mutual exclusion: correct in a team of one
    // thread and no part of sections.
    std::istringstream names(
        "GOMP_parallel_sections GOMP_sections_start GOMP_sections_next GOMP_sections_end "
        "GOMP_sections_end_nowait GOMP_parallel GOMP_parallel_start GOMP_parallel_end GOMP_barrier "
        "GOMP_critical_start GOMP_critical_end GOMP_critical_name_start GOMP_critical_name_end "
        "GOMP_atomic_start GOMP_atomic_end GOMP_single_start GOMP_parallel_loop_static "
        "GOMP_parallel_loop_dynamic GOMP_parallel_loop_guided GOMP_parallel_loop_runtime "
        "GOMP_loop_static_start GOMP_loop_dynamic_start GOMP_loop_guided_start GOMP_loop_runtime_start "
        "GOMP_loop_static_next GOMP_loop_dynamic_next GOMP_loop_guided_next GOMP_loop_runtime_next "
        "GOMP_loop_end GOMP_loop_end_nowait");
    const std::set<std::string> allowed{std::istream_iterator<std::string>(names), {}};
    for (const std::string& name : *imports)
        EXPECT_TRUE(allowed.count(name)) << library << " imports " << name;
}

} // namespace
