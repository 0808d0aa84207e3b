// The eight colour roles the views draw with. Values are 0x00BBGGRR (red in the low byte);
// every role is black at start. Views read them each time they paint.
#pragma once

#include <cstdint>

extern std::int32_t BackgroundColor;
extern std::int32_t GridMarksColor;
extern std::int32_t InfoTextColor;
extern std::int32_t MultiSelectColor;
extern std::int32_t PolygonWireColor;
extern std::int32_t SelPolygonColor;
extern std::int32_t SelVertexColor;
extern std::int32_t VertexColor;
