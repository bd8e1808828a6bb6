// lumio.mjs: lumio.js as an ES module, for bundlers and <script type="module">.
//
//   import {invoke, on} from 'lumio-web';
//
// The same single wrapper as the classic script (which this loads once, however
// many times it is imported): window.lumio is set too.
import './lumio.js';

export const lumio = window.lumio;
export const invoke = lumio.invoke;
export const on = lumio.on;
export const LumioError = lumio.LumioError;
export default lumio;
