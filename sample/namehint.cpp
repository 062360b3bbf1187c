#include "sample/namehint.h"
namespace korvo::sample {
double tempoInName(std::string_view)
{
    return 0;
}
} // namespace korvo::sample
