#pragma once
// Public declarations of the display folder.
