// fetch() of the program's own files; part of the page script (see query_stub.js).
//
// Chromium's fetch() reaches only the schemes registered for it, and Qt WebEngine
// before 6.6 cannot register one; XMLHttpRequest has no such rule. So a fetch of
// app://lumio/ tries the engine's fetch until one succeeds (the engine can, and
// keeps it from then on) or fails where XHR succeeds (it cannot: every later one
// goes through XHR). A missing file rejects with a TypeError either way, as the
// engine's own fetch does for a request its scheme handler fails: the engine's
// fetch resolves such a request with a 404 whose body never ends, so an answer
// that is not a success becomes that TypeError here (our files are only ever
// served whole, with status 200). Everything else goes to the engine's fetch
// unchanged.
var originalFetch = window.fetch;
var construct = Reflect.construct;
var defineProperty = Object.defineProperty;
var PromiseType = Promise;
var promiseThen = Promise.prototype.then;
var URLType = URL;
var urlHref = Object.getOwnPropertyDescriptor(URL.prototype, 'href').get;
var urlProtocol = Object.getOwnPropertyDescriptor(URL.prototype, 'protocol').get;
var urlHost = Object.getOwnPropertyDescriptor(URL.prototype, 'host').get;
var baseURI = Object.getOwnPropertyDescriptor(Node.prototype, 'baseURI').get;
var requestUrl = Object.getOwnPropertyDescriptor(Request.prototype, 'url').get;
var requestMethod = Object.getOwnPropertyDescriptor(Request.prototype, 'method').get;
var requestHeaders = Object.getOwnPropertyDescriptor(Request.prototype, 'headers').get;
var requestSignal = Object.getOwnPropertyDescriptor(Request.prototype, 'signal').get;
var requestClone = Request.prototype.clone;
var requestBody = Request.prototype.arrayBuffer;
var ResponseType = Response;
var responseOk = Object.getOwnPropertyDescriptor(Response.prototype, 'ok').get;
var responseType = Object.getOwnPropertyDescriptor(Response.prototype, 'type').get;
var responseBody = Object.getOwnPropertyDescriptor(Response.prototype, 'body').get;
var streamCancel = ReadableStream.prototype.cancel;
var HeadersType = Headers;
var headersAppend = Headers.prototype.append;
var headersForEach = Headers.prototype.forEach;
var signalAborted = Object.getOwnPropertyDescriptor(AbortSignal.prototype, 'aborted').get;
var XHRType = XMLHttpRequest;
var xhrOpen = XMLHttpRequest.prototype.open;
var xhrSend = XMLHttpRequest.prototype.send;
var xhrAbort = XMLHttpRequest.prototype.abort;
var xhrSetHeader = XMLHttpRequest.prototype.setRequestHeader;
var xhrAllHeaders = XMLHttpRequest.prototype.getAllResponseHeaders;
var xhrStatus = Object.getOwnPropertyDescriptor(XMLHttpRequest.prototype, 'status').get;
var xhrStatusText = Object.getOwnPropertyDescriptor(XMLHttpRequest.prototype, 'statusText').get;
var xhrResponse = Object.getOwnPropertyDescriptor(XMLHttpRequest.prototype, 'response').get;
var xhrResponseURL = Object.getOwnPropertyDescriptor(XMLHttpRequest.prototype, 'responseURL').get;
var xhrSetResponseType =
    Object.getOwnPropertyDescriptor(XMLHttpRequest.prototype, 'responseType').set;
var split = String.prototype.split;
var trim = String.prototype.trim;
var TypeErrorType = TypeError;
var DOMExceptionType = DOMException;

var fetchMode = 'probe';  // then 'engine' or 'xhr'

// |input| of fetch() (a Request or anything that reads as an address) resolved
// against the document's base address, as a URL; null when it is none.
function resolvedUrl(input) {
  var text;
  try {
    text = apply(requestUrl, input, []);
  } catch (e) {
    text = '' + input;
  }
  try {
    return construct(URLType, [text, apply(baseURI, document, [])]);
  } catch (e) {
    return null;
  }
}

// The absolute URL when |input| names a file of ours, else null.
function ownFileUrl(input) {
  var url = resolvedUrl(input);
  // A protocol ends at its first colon and a host holds no slash: only the
  // protocol and host of APP_ORIGIN match.
  if (url === null ||
      apply(urlProtocol, url, []) + '//' + apply(urlHost, url, []) !== APP_ORIGIN) {
    return null;
  }
  return apply(urlHref, url, []);
}
// True when |input| is an address of our scheme on a host that is not ours: the
// engine fails it as it fails a missing file of ours.
function otherHostOfOurScheme(input) {
  var url = resolvedUrl(input);
  return url !== null &&
      apply(urlProtocol, url, []) === apply(split, APP_ORIGIN, ['//'])[0];
}
function abortError() {
  return construct(DOMExceptionType, ['The user aborted a request.', 'AbortError']);
}
function isNullBodyStatus(status) {
  return status === 101 || status === 103 || status === 204 || status === 205 || status === 304;
}

// {method, headers: [[name, value]], body, bodyIsPromise, signal} of a fetch call. A
// Request's body is read from a copy, so that the engine's fetch can still send it.
function describeRequest(input, init) {
  var isRequest = true;
  try { apply(requestUrl, input, []); } catch (e) { isRequest = false; }
  init = init && typeof init === 'object' ? init : createObject(null);
  var method = init.method !== undefined ? '' + init.method :
               isRequest ? apply(requestMethod, input, []) : 'GET';
  var headers = construct(HeadersType, init.headers !== undefined ? [init.headers] :
                          isRequest ? [apply(requestHeaders, input, [])] : []);
  var pairs = [];
  apply(headersForEach, headers, [function (value, name) { pairs[pairs.length] = [name, value]; }]);
  var bodyIsPromise = init.body === undefined && isRequest && method !== 'GET' && method !== 'HEAD';
  var body = init.body !== undefined ? init.body :
             bodyIsPromise ? apply(requestBody, apply(requestClone, input, []), []) : null;
  var signal = init.signal !== undefined ? init.signal :
               isRequest ? apply(requestSignal, input, []) : null;
  return {method: method, headers: pairs, body: body, bodyIsPromise: bodyIsPromise,
          signal: signal || null, mode: init.mode !== undefined ? '' + init.mode : ''};
}

// Resolves with a Response, or rejects with a TypeError when the request fails
// and an AbortError when its signal aborts it.
function fetchThroughXHR(url, request) {
  return construct(PromiseType, [function (resolve, reject) {
    var xhr = construct(XHRType, []);
    var signal = request.signal;
    if (signal && apply(signalAborted, signal, [])) {
      reject(abortError());
      return;
    }
    apply(xhrOpen, xhr, [request.method, url]);
    apply(xhrSetResponseType, xhr, ['arraybuffer']);
    for (var i = 0; i < request.headers.length; i++) {
      apply(xhrSetHeader, xhr, request.headers[i]);
    }
    function onAbort() {
      apply(xhrAbort, xhr, []);
      reject(abortError());
    }
    if (signal) apply(listen, signal, ['abort', onAbort]);
    apply(listen, xhr, ['load', function () {
      var status = apply(xhrStatus, xhr, []);
      var headers = construct(HeadersType, []);
      var lines = apply(split, apply(xhrAllHeaders, xhr, []), ['\r\n']);
      for (var i = 0; i < lines.length; i++) {
        var colon = apply(indexOf, lines[i], [':']);
        if (colon > 0) {
          apply(headersAppend, headers, [apply(slice, lines[i], [0, colon]),
                                         apply(trim, apply(slice, lines[i], [colon + 1]), [])]);
        }
      }
      var init = createObject(null);
      init.status = status;
      init.statusText = apply(xhrStatusText, xhr, []);
      init.headers = headers;
      var response;
      try {
        response = construct(ResponseType, [
          isNullBodyStatus(status) || request.method === 'HEAD' ? null : apply(xhrResponse, xhr, []),
          init]);
      } catch (e) {
        reject(construct(TypeErrorType, ['Failed to fetch']));
        return;
      }
      // A Response made here has no address of its own; the engine's has one.
      defineProperty(response, 'url', {value: apply(xhrResponseURL, xhr, []) || url});
      resolve(response);
    }]);
    apply(listen, xhr, ['error', function () {
      reject(construct(TypeErrorType, ['Failed to fetch']));
    }]);
    function sendBody(body) {
      try {
        apply(xhrSend, xhr, [body]);
      } catch (e) {
        reject(e);
      }
    }
    if (request.bodyIsPromise) {
      apply(promiseThen, request.body, [sendBody, reject]);
    } else {
      sendBody(request.body);
    }
  }]);
}

// The engine's answer for an address of our scheme: |response| itself, or, for a
// file it did not find, the TypeError of a failed request.
function ownFileResponse(response) {
  // An opaque answer (no-cors from another origin) shows no status to judge by.
  if (apply(responseOk, response, []) || apply(responseType, response, []) === 'opaque') {
    return response;
  }
  try {
    var body = apply(responseBody, response, []);
    if (body) apply(promiseThen, apply(streamCancel, body, []), [undefined, function () {}]);
  } catch (e) {}
  throw construct(TypeErrorType, ['Failed to fetch']);
}

function fetch(input) {
  var url = ownFileUrl(input);
  if (url === null) {
    if (otherHostOfOurScheme(input)) {
      return apply(promiseThen, apply(originalFetch, this, arguments), [ownFileResponse]);
    }
    var remote = isAppDocument ? webUrl(input) : null;
    if (remote === null) return apply(originalFetch, this, arguments);
    var described;
    try {
      described = describeRequest(input, arguments[1]);
    } catch (e) {
      return apply(originalFetch, this, arguments);
    }
    return apply(promiseThen, apply(originalFetch, this, arguments), [undefined,
      function (error) {
        if ((error && error.name === 'AbortError') || described.mode === 'same-origin') {
          throw error;
        }
        return fetchThroughProgram(remote, described);
      }]);
  }
  if (fetchMode === 'engine') {
    return apply(promiseThen, apply(originalFetch, this, arguments), [ownFileResponse]);
  }
  var request;
  try {
    request = describeRequest(input, arguments[1]);
  } catch (e) {
    return apply(originalFetch, this, arguments);
  }
  if (fetchMode === 'xhr') return fetchThroughXHR(url, request);
  var self = this;
  var args = arguments;
  return apply(promiseThen, apply(originalFetch, self, args), [
    function (response) {
      fetchMode = 'engine';
      return ownFileResponse(response);
    },
    function (error) {
      if (error && error.name === 'AbortError') throw error;
      return apply(promiseThen, fetchThroughXHR(url, request), [function (response) {
        fetchMode = 'xhr';
        return response;
      }]);
    }]);
}
window.fetch = fetch;
