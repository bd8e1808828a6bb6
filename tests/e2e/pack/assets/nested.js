window.__nestedScript = 'assets/nested.js';
