#include "update/UpdateOutcome.h"

#include "http/HttpFailure.h"

std::string FailureText(int code)
{
    return HttpFailureText(code);
}

std::string HttpStatusText(int status)
{
    return "HTTP " + std::to_string(status);
}
