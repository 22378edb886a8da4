// The label that names the row of a table-driven test in its failure
// messages: " [" and the row's parts streamed one after the other, then "]".
#pragma once

#include <gtest/gtest.h>

#include <string>

template <typename... Parts>
std::string RowLabel(const Parts &...parts) {
    testing::Message label;
    (label << ... << parts);
    return " [" + label.GetString() + "]";
}
