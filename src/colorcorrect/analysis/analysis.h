#pragma once
// Public declarations of the analysis folder.
