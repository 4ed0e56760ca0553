#include <cstddef>
#include <cstdint>
#include <string>

#include "services/JsonObject.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    json::JsonObject object(std::string(reinterpret_cast<const char*>(data), size));
    object.GetValueText("success");
    object.GetValueText("");
    return 0;
}
