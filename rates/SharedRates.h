#pragma once
#include "rates/FXRate.h"

#include <mutex>
#include <vector>

// The record list shared by the worker (which merges downloads into it) and
// the window thread (which paints it, moves the selection and speaks it).
// The records can only be reached through an Access, which holds the one
// lock for as long as it lives, so no reader can forget to take it.
//
// Keep an Access short: the worker takes it only to merge a downloaded list,
// never while it waits on the network, and a painter copies what it needs and
// lets go before it draws.
class SharedRates {
public:
    template <typename List>
    class Access {
    public:
        Access(std::mutex& mutex, List& list) : lock(mutex), rates(&list) {}
        List& operator*() const { return *rates; }
        List* operator->() const { return rates; }

    private:
        std::unique_lock<std::mutex> lock;
        List* rates;
    };

    using Records = std::vector<FXRate>;

    Access<Records> Lock() { return Access<Records>(mutex, rates); }
    Access<const Records> Lock() const { return Access<const Records>(mutex, rates); }

private:
    mutable std::mutex mutex;
    Records rates;
};
