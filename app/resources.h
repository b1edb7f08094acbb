#pragma once

// Registers the icons compiled into the core library; safe to call more than once.
void varnelInitResources();
