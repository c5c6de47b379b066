// Export of the factory cabinets: the twelve files, reading them back, and where it stops.
#include "ir/ir_export.h"

#include <gtest/gtest.h>

#include <cmath>

#include "core/state.h"
#include "ir/ir_import.h"
#include "wav_builder.h"

namespace nimba {
namespace {

using namespace nimba::test;

const char* const file_names[cabinet_count] = {
    "112 RED.wav",   "212 V30.wav",         "412 V30.wav",          "412 GB.wav",
    "412 X1200.wav", "412 LEGEND DEEP.wav", "412 LEGEND TIGHT.wav", "212 EVM12L.wav",
    "412 RECT.wav",  "UK 412 V30.wav",      "UK 412 V30 GB.wav",    "UK 412 JBL120 GB.wav"};

cabinet_library library() {
    cabinet_library cabinets;
    fill_cabinet_library(cabinets);
    return cabinets;
}

TEST(FactoryExport, WritesTwelveImagesThatReadBack) {
    const cabinet_library cabinets = library();
    temp_folder dir;
    const export_report report = write_factory_irs(cabinets, wide(dir.path));
    EXPECT_EQ(report.outcome, export_outcome::done);
    EXPECT_EQ(report.written, 12);
    for (int i = 0; i < cabinet_count; ++i) {
        const auto bytes = read_file(dir / file_names[i]);
        ASSERT_EQ(bytes.size(), 16428u) << file_names[i];
        const auto samples = cabinet_samples(cabinets[i]);
        ASSERT_TRUE(samples);
        EXPECT_EQ(bytes, *encode_ir_image(*samples)) << file_names[i];

        // Read back through the import: the cabinet's samples from the first audible one.
        const ir_conversion back = convert_wav_to_ir(bytes);
        ASSERT_EQ(back.rejection, ir_rejection::none);
        size_t first = 0;
        while (first + 1 < samples->size() && std::fabs((*samples)[first]) <= 0.01f) ++first;
        EXPECT_EQ(back.samples, std::vector<float>(samples->begin() + first, samples->end()))
            << file_names[i];
    }
    // A second export replaces every file with the same bytes.
    const auto before = read_file(dir / file_names[5]);
    write_file(dir / file_names[5], {1, 2, 3});
    EXPECT_EQ(write_factory_irs(cabinets, wide(dir.path)).written, 12);
    EXPECT_EQ(read_file(dir / file_names[5]), before);
}

// A file that cannot be written (here a folder stands in its place, which stops the write
// even for a user who may write anywhere) ends the export at that cabinet.
TEST(FactoryExport, StopsAtFileThatCannotBeWritten) {
    temp_folder dir;
    std::filesystem::create_directory(dir / file_names[3]);
    const export_report report = write_factory_irs(library(), wide(dir.path));
    EXPECT_EQ(report.outcome, export_outcome::write_failed);
    EXPECT_EQ(report.written, 3);
    EXPECT_EQ(report.failed_path, wide(dir.path) + L"/412 GB.wav");
    EXPECT_EQ(outcome_of(report).text, "export stopped at \"412 GB.wav\": is a folder, not a file");
    for (int i = 0; i < cabinet_count; ++i) {
        if (i == 3) continue;
        EXPECT_EQ(std::filesystem::exists(dir / file_names[i]), i < 3) << file_names[i];
    }
    EXPECT_EQ(write_factory_irs(library(), wide(dir / "missing")).outcome,
              export_outcome::write_failed);
}

#ifdef NIMBA_TEST_POSIX_FILES
// Writes cut short (a file-size limit below one image) leave no file and stop the export.
TEST(FactoryExport, WriteFailureLeavesNoPartialFile) {
    temp_folder dir;
    write_file(dir / file_names[0], {1, 2, 3});
    const export_report report = [&] {
        const file_size_limit limit(8192);
        return write_factory_irs(library(), wide(dir.path));
    }();
    EXPECT_EQ(report.outcome, export_outcome::write_failed);
    EXPECT_EQ(report.written, 0);
    EXPECT_EQ(read_file(dir / file_names[0]), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path), {}), 1);
}
#endif

TEST(FactoryExport, NoFolderWritesNothing) {
    const export_report report = write_factory_irs(library(), L"");
    EXPECT_EQ(report.outcome, export_outcome::no_folder);
    EXPECT_EQ(report.written, 0);
}

TEST(FactoryExport, CabinetWithoutSamplesStopsAndFlagsTheEditor) {
    editor_state state;
    fill_cabinet_library(state.cabinets);
    state.cabinets[2].ir = blob{}; // no usable IR
    state.link_status = link_busy;
    temp_folder dir;
    const export_report report = export_factory_irs(state, wide(dir.path));
    EXPECT_EQ(report.outcome, export_outcome::no_image);
    EXPECT_EQ(report.written, 2);
    EXPECT_EQ(state.link_status.load(), link_connected);
    EXPECT_FALSE(std::filesystem::exists(dir / file_names[2]));
    EXPECT_FALSE(std::filesystem::exists(dir / file_names[3]));
}

} // namespace
} // namespace nimba
