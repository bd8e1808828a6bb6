// Lumio's page interface for TypeScript, as the ES module lumio.mjs exports it.
// The declarations of lumio.d.ts (commands, events, cefQuery, cefMessage, the
// global lumio) come with it.
/// <reference path="./lumio.d.ts" />

export declare const lumio: Lumio;
export declare const invoke: Lumio["invoke"];
export declare const on: Lumio["on"];
export declare const LumioError: Lumio["LumioError"];
export default lumio;
