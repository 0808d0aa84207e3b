// The colour roles' storage; all black until someone picks a colour.
#include "colors.h"

std::int32_t BackgroundColor = 0;
std::int32_t GridMarksColor = 0;
std::int32_t InfoTextColor = 0;
std::int32_t MultiSelectColor = 0;
std::int32_t PolygonWireColor = 0;
std::int32_t SelPolygonColor = 0;
std::int32_t SelVertexColor = 0;
std::int32_t VertexColor = 0;
