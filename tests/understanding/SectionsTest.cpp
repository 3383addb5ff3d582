// The program runs OpenMP sections on the calling thread (Tesseract's recurrent layers use
// them). A section skipped or run twice would silently garble every text reading.
#include "understanding/TextFinder.h"

#include <QImage>

#include <dlfcn.h>
#include <elf.h>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <link.h>
#include <omp.h>
#include <optional>
#include <set>
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

// The path of the loaded shared library whose file name contains `name`, or empty.
std::string loadedLibrary(const std::string& name) {
    struct Search {
        std::string name, found;
    } search{name, {}};
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) {
            auto* s = static_cast<Search*>(data);
            const std::string path = info->dlpi_name ? info->dlpi_name : "";
            if (path.find(s->name) == std::string::npos) return 0;
            s->found = path;
            return 1;
        },
        &search);
    return search.found;
}

// The GOMP_ functions an ELF64 shared library imports: its undefined dynamic symbols. None
// when the file cannot be read as one.
std::optional<std::set<std::string>> openMPImports(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const auto fits = [&](size_t offset, size_t size) {
        return offset <= file.size() && size <= file.size() - offset;
    };
    if (!fits(0, sizeof(Elf64_Ehdr))) return std::nullopt;
    const auto* header = reinterpret_cast<const Elf64_Ehdr*>(file.data());
    if (std::string(file.data(), SELFMAG) != ELFMAG || header->e_ident[EI_CLASS] != ELFCLASS64 ||
        !fits(header->e_shoff, size_t(header->e_shnum) * sizeof(Elf64_Shdr)))
        return std::nullopt;
    const auto* sections = reinterpret_cast<const Elf64_Shdr*>(file.data() + header->e_shoff);
    for (int i = 0; i < header->e_shnum; ++i) {
        const Elf64_Shdr& symbols = sections[i];
        if (symbols.sh_type != SHT_DYNSYM || symbols.sh_link >= header->e_shnum) continue;
        const Elf64_Shdr& names = sections[symbols.sh_link];
        if (!fits(symbols.sh_offset, symbols.sh_size) || !fits(names.sh_offset, names.sh_size))
            return std::nullopt;
        std::set<std::string> imports;
        const auto* symbol = reinterpret_cast<const Elf64_Sym*>(file.data() + symbols.sh_offset);
        for (size_t k = 0; k < symbols.sh_size / sizeof(Elf64_Sym); ++k) {
            if (symbol[k].st_shndx != SHN_UNDEF || symbol[k].st_name >= names.sh_size) continue;
            const std::string name(file.data() + names.sh_offset + symbol[k].st_name);
            if (name.rfind("GOMP_", 0) == 0) imports.insert(name);
        }
        return imports;
    }
    return std::nullopt;
}

// The program replaces libgomp's sections; every other OpenMP entry point Tesseract calls
// goes to libgomp and must be one that works beside the replacement in one-thread teams.
// Another one (a combined parallel-sections start of an older compiler, sections with
// reductions) would start libgomp's own sections and then ask the program's for them: the
// sections would be skipped and every reading silently garbled.
TEST_F(Sections, TesseractImportsOnlyReplacedOrSafeOpenMPEntryPoints) {
    // Uses the recogniser, so that the library is linked and loaded.
    ASSERT_TRUE(ombrel::TextFinder::readWhole(QImage()).isEmpty());
    const std::string library = loadedLibrary("libtesseract");
    ASSERT_FALSE(library.empty()) << "libtesseract is not loaded";
    const std::optional<std::set<std::string>> imports = openMPImports(library);
    ASSERT_TRUE(imports) << "cannot read the dynamic symbols of " << library;
    const std::set<std::string> replaced{"GOMP_parallel_sections", "GOMP_sections_start",
                                         "GOMP_sections_next", "GOMP_sections_end",
                                         "GOMP_sections_end_nowait"};
    // Teams, loops and mutual exclusion: correct in a team of one thread and no part of sections.
    const std::set<std::string> safe{"GOMP_parallel",
                                     "GOMP_parallel_start",
                                     "GOMP_parallel_end",
                                     "GOMP_barrier",
                                     "GOMP_critical_start",
                                     "GOMP_critical_end",
                                     "GOMP_critical_name_start",
                                     "GOMP_critical_name_end",
                                     "GOMP_atomic_start",
                                     "GOMP_atomic_end",
                                     "GOMP_single_start",
                                     "GOMP_parallel_loop_static",
                                     "GOMP_parallel_loop_dynamic",
                                     "GOMP_parallel_loop_guided",
                                     "GOMP_parallel_loop_runtime",
                                     "GOMP_loop_static_start",
                                     "GOMP_loop_dynamic_start",
                                     "GOMP_loop_guided_start",
                                     "GOMP_loop_runtime_start",
                                     "GOMP_loop_static_next",
                                     "GOMP_loop_dynamic_next",
                                     "GOMP_loop_guided_next",
                                     "GOMP_loop_runtime_next",
                                     "GOMP_loop_end",
                                     "GOMP_loop_end_nowait"};
    for (const std::string& name : *imports)
        EXPECT_TRUE(replaced.count(name) || safe.count(name)) << library << " imports " << name;
}

} // namespace
