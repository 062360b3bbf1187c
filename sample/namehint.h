#pragma once
#include <string_view>
namespace korvo::sample {
double tempoInName(std::string_view fileNameUtf8);
}
