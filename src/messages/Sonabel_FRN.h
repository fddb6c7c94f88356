#pragma once
// The French message table.

void BuildMessagesFRN();
