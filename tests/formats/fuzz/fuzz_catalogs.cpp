// libFuzzer entry point: reads any bytes as a preset catalog and as a codec catalog.
//   cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DQUENLET_FUZZ=ON
//   cmake --build build-fuzz --target fuzz_catalogs
//   build-fuzz/tests/formats/fuzz/fuzz_catalogs -max_len=4096 -max_total_time=60
#include "formats/CodecCatalog.h"
#include "formats/PresetCatalog.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text =
        QString::fromLocal8Bit(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    PresetCatalog presets;
    const CatalogResult presetResult = presets.ReadPresets(text);
    const qsizetype presetSlots = presets.Presets().size();
    if ((presetResult.outcome == CatalogResult::Outcome::Loaded &&
         presets.PresetCount() != presetSlots) ||
        (presetResult.failed() && presets.PresetCount() != presetSlots - 1)) {
        std::abort();
    }
    (void)presets.Categories();

    CodecCatalog codecs;
    const CatalogResult codecResult = codecs.ReadCodecs(text);
    const qsizetype codecSlots = codecs.Codecs().size();
    if ((codecResult.outcome == CatalogResult::Outcome::Loaded &&
         codecs.CodecCount() != codecSlots) ||
        (codecResult.failed() && codecs.CodecCount() != codecSlots - 1)) {
        std::abort();
    }
    for (const CodecRecord& codec : codecs.Codecs()) {
        (void)codecs.GetCodecName(codec.description);
    }
    return 0;
}
