import { defineConfig } from "vite";

// The build goes into dist/, which a Lumio build packs: cmake -DLUMIO_WEB_DIR=dist.
export default defineConfig({
  build: {
    // The engine is Chromium 102 on Qt 6.4 (top-level await needs es2022).
    target: "chrome102",
  },
});
