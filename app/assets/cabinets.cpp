// The factory cabinet library.
#include "app/assets/cabinets.h"

namespace nimba {

namespace {
struct cabinet_row {
    const wchar_t* name;
    int32_t is_main;
};
constexpr cabinet_row rows[cabinet_count] = {
    {L"112 RED", 0},   {L"212 V30", 1},         {L"412 V30", 1},          {L"412 GB", 0},
    {L"412 X1200", 1}, {L"412 LEGEND DEEP", 1}, {L"412 LEGEND TIGHT", 0}, {L"212 EVM12L", 1},
    {L"412 RECT", 0},  {L"UK 412 V30", 1},      {L"UK 412 V30 GB", 0},    {L"UK 412 JBL120 GB", 0},
};
} // namespace

void fill_cabinet_library(cabinet_library& cabinets) {
    for (int i = 0; i < cabinet_count; ++i) {
        cabinets[i].name = rows[i].name;
        cabinets[i].is_main = rows[i].is_main;
    }
}

} // namespace nimba
