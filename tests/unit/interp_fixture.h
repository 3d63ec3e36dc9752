// A prepared interpreter with an empty program, for tests that evaluate texts and set
// variables by hand.
#pragma once
#include <gtest/gtest.h>

#include "interp/interp.h"

struct TInterpFixture : ::testing::Test {
    TPoruBase st;
    void SetUp() override
    {
        st.FileName = "t.prk";
        st.Source = "";
        st.PrepareRun();
    }
    void Set(const char* name, const char* value, const char* tag)
    {
        THashNode* n = THashNode::CreateVariable(name, value, 0, false);
        n->TypeText = tag;
        st.Words.Add(n);
    }
};
