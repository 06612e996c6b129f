#pragma once
// Public declarations of the engine folder.
