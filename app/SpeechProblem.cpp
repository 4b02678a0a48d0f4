#include "app/Quillbrae.h"

// Why nothing is spoken goes on the status line, with the update status:
// the one place the user already looks for what is wrong.
void Quillbrae::ShowSpeechProblem(const std::string& problem)
{
    if (problem == speechProblem)
        return;
    speechProblem = problem;
    ShowStatus();
}
