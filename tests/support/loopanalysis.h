#pragma once

#include "sample/sampleanalysis.h"

// What the reading of a four-bar loop at 174 gives, with the two-bar reading offered besides: the
// analysis the tests of the sample-tempo dialog show it.
inline korvo::sample::Analysis fourBarsAt174()
{
    korvo::sample::Analysis analysis;
    analysis.seconds = 5.517;
    analysis.estimate = 174;
    analysis.choice.reason = korvo::sample::ChoiceReason::Loop;
    analysis.choice.tempo = 174;
    analysis.choice.text = "174";
    analysis.choice.beats = 16;
    analysis.choice.others = {{8, 87, "87"}};
    return analysis;
}
