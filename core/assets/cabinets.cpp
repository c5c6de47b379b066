// The factory cabinet library: names, descriptions and main flags here; the IRs are made at
// build time by tools/host/ir_synth and embedded by core/assets/cabinets.cmake.
#include "core/assets/cabinets.h"

// Start and end of each embedded IR blob.
extern "C" {
extern const unsigned char nimba_blob_cabinet_0[], nimba_blob_cabinet_0_end[];
extern const unsigned char nimba_blob_cabinet_1[], nimba_blob_cabinet_1_end[];
extern const unsigned char nimba_blob_cabinet_2[], nimba_blob_cabinet_2_end[];
extern const unsigned char nimba_blob_cabinet_3[], nimba_blob_cabinet_3_end[];
extern const unsigned char nimba_blob_cabinet_4[], nimba_blob_cabinet_4_end[];
extern const unsigned char nimba_blob_cabinet_5[], nimba_blob_cabinet_5_end[];
extern const unsigned char nimba_blob_cabinet_6[], nimba_blob_cabinet_6_end[];
extern const unsigned char nimba_blob_cabinet_7[], nimba_blob_cabinet_7_end[];
extern const unsigned char nimba_blob_cabinet_8[], nimba_blob_cabinet_8_end[];
extern const unsigned char nimba_blob_cabinet_9[], nimba_blob_cabinet_9_end[];
extern const unsigned char nimba_blob_cabinet_10[], nimba_blob_cabinet_10_end[];
extern const unsigned char nimba_blob_cabinet_11[], nimba_blob_cabinet_11_end[];
}

namespace nimba {

namespace {

struct cabinet_row {
    const wchar_t* name;
    int32_t is_main;
    const unsigned char* ir_begin;
    const unsigned char* ir_end;
    const wchar_t* description;
};

// clang-format off
const cabinet_row rows[cabinet_count] = {
    {L"112 RED", 0, nimba_blob_cabinet_0, nimba_blob_cabinet_0_end,
     L"An open-back pine 1x12 with a single bright 12-inch ceramic speaker. Chimey and airy, with "
     L"a loose, light low end. Captured with a dynamic close on the cone and a condenser a step "
     L"back."},
    {L"212 V30", 1, nimba_blob_cabinet_1, nimba_blob_cabinet_1_end,
     L"A closed-back 2x12 in void-free ply with two V30-type speakers. Punchy low mids and a "
     L"forward, biting upper-mid bark. Captured with a dynamic near the cone's edge blended with "
     L"a ribbon."},
    {L"412 V30", 1, nimba_blob_cabinet_2, nimba_blob_cabinet_2_end,
     L"A closed-back birch-ply 4x12 loaded with four V30-type speakers. Deep thump, tight bass "
     L"and a cutting edge around 3 kHz for high gain. Miked with a dynamic off the cap and a "
     L"condenser further back."},
    {L"412 GB", 0, nimba_blob_cabinet_3, nimba_blob_cabinet_3_end,
     L"A closed-back 4x12 with four low-power greenback-type speakers. Warm, woody midrange, soft "
     L"highs and an early, smooth top roll-off. Miked with a ribbon close up and a dynamic near "
     L"the edge."},
    {L"412 X1200", 1, nimba_blob_cabinet_4, nimba_blob_cabinet_4_end,
     L"A closed-back 4x12 with four high-power ceramic speakers. Tight, firm lows, scooped mids "
     L"and a crisp, detailed top end. Captured with a single dynamic mic close to the dust cap."},
    {L"412 LEGEND DEEP", 1, nimba_blob_cabinet_5, nimba_blob_cabinet_5_end,
     L"An oversized, extra-deep closed-back 4x12. A big low resonance that blooms under palm "
     L"mutes, smooth mids and a rounded top. Miked with a dynamic off the cap and a ribbon at "
     L"25 cm."},
    {L"412 LEGEND TIGHT", 0, nimba_blob_cabinet_6, nimba_blob_cabinet_6_end,
     L"The same oversized 4x12 voiced for a tighter, higher-tuned low end with less bloom and a "
     L"clear upper mid. Captured with a close condenser and a dynamic placed near the cone's "
     L"edge."},
    {L"212 EVM12L", 1, nimba_blob_cabinet_7, nimba_blob_cabinet_7_end,
     L"A closed-back 2x12 with two heavy 300 W speakers. Flat, stiff and clean, with extended "
     L"lows, little break-up and a wide, even top. Miked with a dynamic near the cap and a "
     L"condenser at 15 cm."},
    {L"412 RECT", 0, nimba_blob_cabinet_8, nimba_blob_cabinet_8_end,
     L"A tall, oversized closed-back 4x12 with V30-type speakers. Heavy lows, a deep mid scoop "
     L"and an aggressive presence peak for modern high gain. Captured with one dynamic close at "
     L"the cone's edge."},
    {L"UK 412 V30", 1, nimba_blob_cabinet_9, nimba_blob_cabinet_9_end,
     L"A British slanted-baffle 4x12 with four V30-type speakers. A tight low end and vocal, "
     L"aggressive upper mids that sit well in a band. Miked with a dynamic close and a ribbon a "
     L"hand's width back."},
    {L"UK 412 V30 GB", 0, nimba_blob_cabinet_10, nimba_blob_cabinet_10_end,
     L"The British 4x12 loaded with two V30-type and two greenback-type speakers: bark on top of "
     L"a warm, rounded middle. Captured with a dynamic close on the cone and a condenser 35 cm "
     L"away."},
    {L"UK 412 JBL120 GB", 0, nimba_blob_cabinet_11, nimba_blob_cabinet_11_end,
     L"The British 4x12 mixing two clean 120 W American-style speakers with two greenback-types. "
     L"Wide, open and glassy over warm mids. Miked with a ribbon and a close condenser blended."},
};
// clang-format on

} // namespace

void fill_cabinet_library(cabinet_library& cabinets) {
    for (int i = 0; i < cabinet_count; ++i) {
        const cabinet_row& row = rows[i];
        cabinets[i].name = row.name;
        cabinets[i].description = row.description;
        cabinets[i].is_main = row.is_main;
        cabinets[i].ir = blob{row.ir_begin, static_cast<size_t>(row.ir_end - row.ir_begin)};
    }
}

} // namespace nimba
