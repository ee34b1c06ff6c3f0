// The binary object stream: conversion to text and the value reader's skipping must end in a read error,
// never a crash, a hang or a huge allocation.

#include "settings/core/ObjectStream.h"
#include "settings/core/ObjectText.h"

#include <cstdint>
#include <string_view>

using namespace pardova;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    {
        TMemoryStream input(bytes);
        TMemoryStream text;
        try {
            ConvertObjectStreamToText(input, text);
        } catch (const platform::Exception&) {
        }
    }
    {
        TMemoryStream input(bytes);
        TReader reader(input);
        try {
            reader.ReadSignature();
            reader.SkipComponent();
        } catch (const platform::Exception&) {
        }
    }
    return 0;
}
