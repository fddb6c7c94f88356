#pragma once
// The English message table.

void BuildMessagesENG();
