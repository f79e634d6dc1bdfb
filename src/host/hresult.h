#pragma once

// The COM result type, in one place for every module that answers with one: the calendar's
// date errors and the scripting object's answers keep Windows' numeric result codes, where
// a negative code is a failure.

#include <cstdint>

using HRESULT = std::int32_t;

constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
