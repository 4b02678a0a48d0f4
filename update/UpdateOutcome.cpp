#include "update/UpdateOutcome.h"

#include "http/HttpClient.h"

#include <optional>

namespace {

// One line per code the client can give. A row with no step covers the
// code at every step; a code whose meaning depends on the step has one row
// per step, and rows with a step are looked at first.
struct FailureText {
    int code;
    std::optional<HttpStep> step;
    const char* text;
};

const FailureText kFailureTexts[] = {
    {HttpClient::kFailed, HttpStep::Connect, "could not connect"},
    {HttpClient::kFailed, HttpStep::Request, "request not sent"},
    {HttpClient::kFailed, HttpStep::Body, "body cut short"},
    {HttpClient::kNonBlockingFailed, HttpStep::Connect, "socket setup failed"},
    {HttpClient::kTimedOut, HttpStep::Request, "no answer within 3 s"},
    {HttpClient::kTimedOut, HttpStep::Body, "server fell silent"},
    {HttpClient::kLookupFailed, std::nullopt, "name not found"},
    {HttpClient::kNoAddress, std::nullopt, "no IPv4 address for the name"},
    {HttpClient::kSocketFailed, std::nullopt, "no socket to be had"},
    {HttpClient::kTooLarge, HttpStep::Request, "header too large"},
    {HttpClient::kTooLarge, HttpStep::Body, "body too large"},
    {HttpClient::kTooLarge, std::nullopt, "answer too large"},
    {HttpClient::kStopped, std::nullopt, "stopped"},
    {HttpClient::kMalformed, std::nullopt, "malformed answer"},
    {HttpClient::kHttpsRefused, std::nullopt, "https not supported"},
};

} // namespace

std::string HttpFailureText(int code, HttpStep step)
{
    for (const FailureText& row : kFailureTexts)
        if (row.code == code && row.step == step)
            return row.text;
    for (const FailureText& row : kFailureTexts)
        if (row.code == code && !row.step)
            return row.text;
    return "download failed (" + std::to_string(code) + ")";
}

std::string HttpStatusText(int status)
{
    return "HTTP " + std::to_string(status);
}
